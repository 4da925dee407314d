// The camera's clock as the web server shows it:
//   POST /command/etc.cgi  body "GmTime=YYMMDDhhmmss[W]" sets the clock
//                          (generation 5 only; the others take GmTime in
//                          system.cgi, see CameraState::ApplyCommand)
//   /camsim/state          "clock_offset_ms": camera time minus real UTC
//   /camsim/control        clock_offset=SECONDS (may be negative) sets it
#pragma once

#include "CameraState.h"
#include "HttpServer.h"
#include "TestHooks.h"

namespace camsim {

class ClockCgi : public TestHookProvider {
public:
    // Largest etc.cgi body read; the camera's keys are short.
    static constexpr size_t kMaxBodyBytes = 4096;

    ClockCgi(HttpServer& http, CameraState& state);

    // Whole seconds, optionally negative, within a hundred years (beyond that
    // the camera's two-digit year cannot tell); nullopt otherwise.
    static std::optional<int64_t> ParseOffsetSeconds(std::string_view value);

    void AppendState(std::vector<std::string>& members) const override;
    std::optional<std::string> CheckControl(std::string_view key, std::string_view value) const override;
    void ApplyControl(std::string_view key, std::string_view value) override;

private:
    void AnswerEtc(HttpExchange& exchange);

    CameraState& m_state;
};

} // namespace camsim

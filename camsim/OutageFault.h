// The camera cut off from its network for a while: it answers no client (web
// server, RTSP, RTP) but keeps recording, and its test hooks stay up. Started
// by the test hook "outage=SECONDS" (from now on) or scheduled from the
// command line; an outage already running is replaced. Thread-safe.
#pragma once

#include "TestHooks.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace camsim {

class OutageFault : public TestHookProvider {
public:
    // The longest outage one request asks for: one day.
    static constexpr uint32_t MAX_OUTAGE_SECONDS = 24 * 3600;

    // For that long from after the delay; a length of 0 ends an outage.
    void Schedule(std::chrono::milliseconds delay, std::chrono::milliseconds length);
    bool Active() const;

    void AppendState(std::vector<std::string>& members) const override;
    std::optional<std::string> CheckControl(std::string_view key, std::string_view value) const override;
    void ApplyControl(std::string_view key, std::string_view value) override;

private:
    using Clock = std::chrono::steady_clock;
    static int64_t NowMs();

    // Steady-clock milliseconds; the outage is [begin, end).
    std::atomic<int64_t> m_beginMs{0};
    std::atomic<int64_t> m_endMs{0};
};

} // namespace camsim

#include "ClockCgi.h"

#include "HttpMessage.h"

#include <charconv>

namespace camsim {

namespace {

constexpr std::string_view kOffsetControl = "clock_offset";
constexpr uint32_t kEtcCgiGeneration = 5;
constexpr int64_t kMaxOffsetSeconds = 100LL * 366 * 24 * 3600;

} // namespace

std::optional<int64_t> ClockCgi::ParseOffsetSeconds(std::string_view value) {
    int64_t seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || seconds > kMaxOffsetSeconds ||
        seconds < -kMaxOffsetSeconds)
        return std::nullopt;
    return seconds;
}

ClockCgi::ClockCgi(HttpServer& http, CameraState& state) : m_state(state) {
    if (state.Generation() == kEtcCgiGeneration)
        http.AddRoute("/command/etc.cgi", [this](HttpExchange& exchange) { AnswerEtc(exchange); });
}

void ClockCgi::AnswerEtc(HttpExchange& exchange) {
    std::string parameters = exchange.Head().query;
    std::string body;
    while (body.size() <= kMaxBodyBytes && exchange.ReadBody(body, kMaxBodyBytes)) {
    }
    if (body.size() > kMaxBodyBytes)
        return void(exchange.SendResponse(413, ""));
    if (!body.empty())
        parameters += (parameters.empty() ? "" : "&") + body;
    for (const auto& [key, value] : SplitItems(parameters))
        if (PercentDecode(key) == "GmTime")
            m_state.SetGmTime(PercentDecode(value));
    exchange.SendResponse(200, "");
}

void ClockCgi::AppendState(std::vector<std::string>& members) const {
    members.push_back("\"clock_offset_ms\": " + std::to_string(m_state.Clock().OffsetMs()));
}

std::optional<std::string> ClockCgi::CheckControl(std::string_view key, std::string_view value) const {
    if (key != kOffsetControl)
        return std::nullopt;
    if (!ParseOffsetSeconds(value))
        return "clock_offset takes whole seconds, not '" + std::string(value) + "'";
    return std::string();
}

void ClockCgi::ApplyControl(std::string_view, std::string_view value) {
    m_state.Clock().SetOffsetMs(*ParseOffsetSeconds(value) * 1000);
}

} // namespace camsim

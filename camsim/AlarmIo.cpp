#include "AlarmIo.h"

#include "AlarmKeys.h"

#include <charconv>

namespace camsim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kBoundary = "alarmdata";
constexpr uint32_t kMaxIntervalSeconds = 60;

std::optional<uint32_t> ReadNumber(std::string_view text) {
    uint32_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

std::optional<std::string> QueryValue(const std::string& query, std::string_view key) {
    for (const auto& [name, value] : SplitItems(query))
        if (name == key)
            return PercentDecode(value);
    return std::nullopt;
}

void AnswerText(HttpExchange& exchange, int status, const std::string& text) {
    exchange.SendResponse(status, text.empty() ? text : text + "\n", {{"Content-Type", "text/plain"}});
}

} // namespace

AlarmIo::AlarmIo(HttpServer& http, CameraState& camera, AlarmState& state) : m_camera(camera), m_state(state) {
    http.AddRoute("/command/main.cgi", [this](HttpExchange& exchange) { AnswerMainTrigger(exchange); });
    http.AddRoute("/command/trigger.cgi", [this](HttpExchange& exchange) { AnswerTriggerCgi(exchange); });
    http.AddRoute("/command/alarmdata.cgi", [this](HttpExchange& exchange) { ServeAlarmData(exchange); });
}

bool AlarmIo::UnderManualControl(uint32_t output) const {
    const AlarmIoSpec& spec = m_camera.AlarmIo();
    const AlarmOutKeys keys = KeysOfOutput(spec, output);
    auto is = [&](const std::string& key, std::string_view wanted) { return m_camera.Value(key) == wanted; };
    if (output == 0 || output > m_state.Outputs() || !is(keys.function, "on"))
        return false;
    if (spec.style != AlarmOutStyle::Suffixed)
        return is(keys.mode, spec.manualSwitch ? "on" : "manual");
    return is(keys.mode, "alarm") && is(keys.period, "always") &&
           m_camera.Value(keys.trigger).value_or("").find("cond") != std::string::npos;
}

// trigger=alarmouton|off, or alarmoutNon|off for the Numbered style.
void AlarmIo::AnswerMainTrigger(HttpExchange& exchange) {
    const AlarmOutStyle style = m_camera.AlarmIo().style;
    const std::optional<std::string> trigger = QueryValue(exchange.Head().query, "trigger");
    if (style == AlarmOutStyle::Suffixed || !trigger)
        return AnswerText(exchange, 404, "");
    std::string_view text = *trigger;
    const bool on = text.ends_with("on");
    if (!text.starts_with("alarmout") || !(on || text.ends_with("off")))
        return AnswerText(exchange, 400, "unknown trigger " + *trigger);
    text = text.substr(8, text.size() - 8 - (on ? 2 : 3));
    const std::optional<uint32_t> output = style == AlarmOutStyle::Single && text.empty() ? 1u : ReadNumber(text);
    if (!output || (style == AlarmOutStyle::Single) != text.empty())
        return AnswerText(exchange, 400, "unknown trigger " + *trigger);
    Switch(exchange, *output, on);
}

// AlarmoutN=on|off
void AlarmIo::AnswerTriggerCgi(HttpExchange& exchange) {
    if (m_camera.AlarmIo().style != AlarmOutStyle::Suffixed)
        return AnswerText(exchange, 404, "");
    const KeyValueList items = SplitItems(exchange.Head().query);
    if (items.size() != 1 || !items[0].first.starts_with("Alarmout") ||
        (items[0].second != "on" && items[0].second != "off"))
        return AnswerText(exchange, 400, "trigger.cgi wants AlarmoutN=on|off");
    const std::optional<uint32_t> output = ReadNumber(std::string_view(items[0].first).substr(8));
    if (!output)
        return AnswerText(exchange, 400, "trigger.cgi wants AlarmoutN=on|off");
    Switch(exchange, *output, items[0].second == "on");
}

void AlarmIo::Switch(HttpExchange& exchange, uint32_t output, bool on) {
    if (output == 0 || output > m_state.Outputs())
        return AnswerText(exchange, 400, "no alarm output " + std::to_string(output));
    if (UnderManualControl(output))
        m_state.SetOutput(output, on);
    AnswerText(exchange, 200, "");
}

bool AlarmIo::WindowsReport() const {
    return m_camera.Generation() >= kFirstGenerationWithoutMdAlarmData || m_camera.Value("MdAlarmData") == "on";
}

void AlarmIo::ServeAlarmData(HttpExchange& exchange) {
    if (m_camera.Value("AlarmData") != "on")
        return AnswerText(exchange, 403, "alarm data is off (system.cgi?AlarmData=on)");
    const std::optional<std::string> intervalText = QueryValue(exchange.Head().query, "interval");
    const std::optional<uint32_t> interval = intervalText ? ReadNumber(*intervalText) : 1u;
    if (!interval || *interval == 0 || *interval > kMaxIntervalSeconds)
        return AnswerText(exchange, 400, "interval wants 1 to " + std::to_string(kMaxIntervalSeconds) + " seconds");
    bool open = exchange.SendHead(200, {{"Content-Type", std::string("multipart/x-mixed-replace;boundary=") + kBoundary},
                                        {"Cache-Control", "no-cache"}});
    for (uint32_t records = 0; open && !exchange.Stopping(); ++records) {
        const uint64_t seen = m_state.Changes();
        // Each part declares its length, as cameras do, so a client can read a
        // record as soon as it ends instead of when the next one begins.
        const std::string body = m_state.RecordItems(WindowsReport()) + "\r\n";
        const std::string record = std::string("--") + kBoundary + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                                   std::to_string(body.size()) + "\r\n\r\n" + body;
        if (records == 1 && m_faults.cutStream)
            return void(exchange.SendBytes(std::string_view(record).substr(0, record.size() / 2)));
        open = exchange.SendBytes(record);
        const auto next = Clock::now() + std::chrono::seconds(*interval);
        while (open && !exchange.Stopping() && Clock::now() < next && m_state.Changes() == seen)
            m_state.WaitForChange(seen, next);
    }
}

} // namespace camsim

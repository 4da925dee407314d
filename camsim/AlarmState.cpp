#include "AlarmState.h"

#include "AlarmKeys.h"

#include <algorithm>
#include <charconv>

namespace camsim {

namespace {

constexpr auto kWaitSlice = std::chrono::milliseconds(100);

const char* OnOff(bool on) {
    return on ? "on" : "off";
}

std::string JsonStates(const std::vector<bool>& states) {
    std::string json = "{";
    for (size_t index = 0; index < states.size(); ++index)
        json += (index ? ", \"" : "\"") + std::to_string(index + 1) + "\": \"" + OnOff(states[index]) + "\"";
    return json + "}";
}

// "sensorN" → N; 0 for any other key.
uint32_t SensorNumber(std::string_view key) {
    constexpr std::string_view kPrefix = "sensor";
    uint32_t number = 0;
    if (!key.starts_with(kPrefix))
        return 0;
    const char* end = key.data() + key.size();
    auto [last, error] = std::from_chars(key.data() + kPrefix.size(), end, number);
    return error == std::errc() && last == end ? number : 0;
}

bool IsWindow(std::string_view name) {
    return std::any_of(std::begin(kAlarmWindows), std::end(kAlarmWindows),
                       [&](const char* window) { return name == window; });
}

} // namespace

AlarmState::AlarmState(CameraState& camera, uint32_t inputs, uint32_t outputs)
    : m_camera(camera), m_inputs(inputs, false), m_outputs(outputs, false) {}

void AlarmState::Changed() {
    ++m_changes;
    m_changed.notify_all();
}

void AlarmState::SetInput(uint32_t input, bool on) {
    std::lock_guard lock(m_mutex);
    if (input == 0 || input > m_inputs.size() || m_inputs[input - 1] == on)
        return;
    m_inputs[input - 1] = on;
    m_camera.SetValue(SensorKey(m_camera.AlarmIo(), Inputs(), input), on ? "1" : "0");
    Changed();
}

void AlarmState::SetOutput(uint32_t output, bool on) {
    std::lock_guard lock(m_mutex);
    if (output == 0 || output > m_outputs.size() || m_outputs[output - 1] == on)
        return;
    m_outputs[output - 1] = on;
    Changed();
}

bool AlarmState::Output(uint32_t output) const {
    std::lock_guard lock(m_mutex);
    return output != 0 && output <= m_outputs.size() && m_outputs[output - 1];
}

void AlarmState::SetMotion(const std::string& window) {
    std::lock_guard lock(m_mutex);
    if (m_motion == window)
        return;
    m_motion = window;
    Changed();
}

uint64_t AlarmState::Changes() const {
    std::lock_guard lock(m_mutex);
    return m_changes;
}

void AlarmState::WaitForChange(uint64_t seen, std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + kWaitSlice),
                         [&] { return m_changes != seen; });
}

std::string AlarmState::RecordItems(bool windowsReport) const {
    std::lock_guard lock(m_mutex);
    std::string items;
    for (const char* window : kAlarmWindows)
        items += std::string(items.empty() ? "" : "&") + window + "=" +
                 (windowsReport && m_motion == window ? "1" : "0");
    for (uint32_t input = 1; input <= m_inputs.size(); ++input)
        items += "&" + SensorKey(m_camera.AlarmIo(), Inputs(), input) + "=" + (m_inputs[input - 1] ? "1" : "0");
    for (uint32_t output = 1; output <= m_outputs.size(); ++output)
        items += "&AlarmOut" + std::to_string(output) + "=" + (m_outputs[output - 1] ? "1" : "0");
    return items;
}

void AlarmState::AppendState(std::vector<std::string>& members) const {
    std::lock_guard lock(m_mutex);
    members.push_back("\"inputs\": " + JsonStates(m_inputs));
    members.push_back("\"outputs\": " + JsonStates(m_outputs));
    members.push_back("\"motion\": \"" + (m_motion.empty() ? std::string("off") : m_motion) + "\"");
}

std::optional<std::string> AlarmState::CheckControl(std::string_view key, std::string_view value) const {
    if (key == "motion") {
        if (value == "off" || IsWindow(value))
            return std::string();
        return "motion wants off or a window (OdWin1-4, MdWin1-4, AdWin1-2), not '" + std::string(value) + "'";
    }
    if (!key.starts_with("sensor"))
        return std::nullopt;
    const uint32_t input = SensorNumber(key);
    if (input == 0 || input > Inputs())
        return std::string(key) + ": this camera has inputs sensor1 to sensor" + std::to_string(Inputs());
    if (value != "on" && value != "off")
        return std::string(key) + " wants on or off, not '" + std::string(value) + "'";
    return std::string();
}

void AlarmState::ApplyControl(std::string_view key, std::string_view value) {
    if (key == "motion")
        SetMotion(value == "off" ? std::string() : std::string(value));
    else
        SetInput(SensorNumber(key), value == "on");
}

} // namespace camsim

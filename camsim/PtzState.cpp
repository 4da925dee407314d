#include "PtzState.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace camsim {

namespace {

constexpr const char* kPresetNameKey = "PresetName";

std::string JsonQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// "1,Home,2,Door": the factory presets of the catalogue.
std::map<uint32_t, std::string> ParsePresetNames(std::string_view text) {
    std::map<uint32_t, std::string> names;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        if (comma == std::string_view::npos)
            break;
        const std::string_view number = text.substr(0, comma);
        text.remove_prefix(comma + 1);
        const size_t end = std::min(text.find(','), text.size());
        uint32_t value = 0;
        std::from_chars(number.data(), number.data() + number.size(), value);
        if (value != 0)
            names[value] = std::string(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return names;
}

} // namespace

int32_t PtzState::MovingAxis::At(Clock::time_point now) const {
    const double seconds = std::chrono::duration<double>(now - since).count();
    const double position = std::clamp(origin + rate * seconds, double(range.min), double(range.max));
    return int32_t(std::lround(position));
}

void PtzState::MovingAxis::Start(Clock::time_point now, double newRate) {
    origin = At(now);
    rate = newRate;
    since = now;
}

void PtzState::MovingAxis::Set(Clock::time_point now, double position) {
    origin = std::clamp(position, double(range.min), double(range.max));
    rate = 0;
    since = now;
}

PtzState::PtzState(CameraState& camera, const PtzSpec& spec)
    : m_camera(camera), m_spec(spec), m_pan{spec.pan}, m_tilt{spec.tilt}, m_zoom{kZoomRange},
      m_focus{kFocusRange, double(kFocusRange.min)} {
    for (auto& [number, name] : ParsePresetNames(camera.Value(kPresetNameKey).value_or("")))
        m_presets[number] = {name, {}};
}

void PtzState::MovePanTilt(double panRate, double tiltRate) {
    std::lock_guard lock(m_mutex);
    const Clock::time_point now = Clock::now();
    m_pan.Start(now, panRate);
    m_tilt.Start(now, tiltRate);
}

void PtzState::MoveZoom(double rate) {
    std::lock_guard lock(m_mutex);
    m_zoom.Start(Clock::now(), rate);
}

void PtzState::MoveFocus(double rate) {
    std::lock_guard lock(m_mutex);
    m_focus.Start(Clock::now(), rate);
}

void PtzState::StopPanTilt() {
    MovePanTilt(0, 0);
}

void PtzState::StopZoom() {
    MoveZoom(0);
}

void PtzState::StopFocus() {
    MoveFocus(0);
}

void PtzState::SetZoom(int32_t zoom) {
    std::lock_guard lock(m_mutex);
    m_zoom.Set(Clock::now(), zoom);
}

void PtzState::ShiftView(int32_t panBy, int32_t tiltBy, int32_t zoom) {
    std::lock_guard lock(m_mutex);
    const Clock::time_point now = Clock::now();
    const Position position = NowLocked(now);
    m_pan.Set(now, double(position.pan) + panBy);
    m_tilt.Set(now, double(position.tilt) + tiltBy);
    m_zoom.Set(now, zoom);
}

bool PtzState::SetPreset(uint32_t number, const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (number == 0 || number > m_spec.presets)
        return false;
    m_presets[number] = {name, NowLocked(Clock::now())};
    PublishPresetNames();
    return true;
}

bool PtzState::CallPreset(uint32_t number) {
    std::lock_guard lock(m_mutex);
    const auto preset = m_presets.find(number);
    if (preset == m_presets.end())
        return false;
    const Clock::time_point now = Clock::now();
    const Position& target = preset->second.position;
    m_pan.Set(now, target.pan);
    m_tilt.Set(now, target.tilt);
    m_zoom.Set(now, target.zoom);
    m_focus.Set(now, target.focus);
    return true;
}

bool PtzState::ClearPreset(uint32_t number) {
    std::lock_guard lock(m_mutex);
    if (m_presets.erase(number) == 0)
        return false;
    PublishPresetNames();
    return true;
}

void PtzState::SetMalformedPresetNames(bool malformed) {
    std::lock_guard lock(m_mutex);
    m_malformedNames = malformed;
    PublishPresetNames();
}

// A camera lists "number,name" pairs. The malformed list leaves the last
// preset's name empty and ends with a number without a name.
void PtzState::PublishPresetNames() {
    std::string list;
    for (const auto& [number, preset] : m_presets) {
        const bool blank = m_malformedNames && number == m_presets.rbegin()->first;
        list += (list.empty() ? "" : ",") + std::to_string(number) + "," + (blank ? std::string() : preset.name);
    }
    if (m_malformedNames)
        list += (list.empty() ? "" : ",") + std::to_string(m_spec.presets);
    m_camera.SetValue(kPresetNameKey, list);
}

PtzState::Position PtzState::NowLocked(Clock::time_point now) const {
    return {m_pan.At(now), m_tilt.At(now), m_zoom.At(now), m_focus.At(now)};
}

PtzState::Position PtzState::Now() const {
    std::lock_guard lock(m_mutex);
    return NowLocked(Clock::now());
}

void PtzState::AppendState(std::vector<std::string>& members) const {
    std::lock_guard lock(m_mutex);
    const Position position = NowLocked(Clock::now());
    std::string presets;
    for (const auto& [number, preset] : m_presets)
        presets += (presets.empty() ? "\"" : ", \"") + std::to_string(number) + "\": " + JsonQuoted(preset.name);
    members.push_back("\"ptz\": {\"pan\": " + std::to_string(position.pan) + ", \"tilt\": " +
                      std::to_string(position.tilt) + ", \"zoom\": " + std::to_string(position.zoom) +
                      ", \"focus\": " + std::to_string(position.focus) + ", \"iris\": " +
                      m_camera.Value("Iris").value_or("0") + ", \"presets\": {" + presets + "}}");
}

// The head is driven only through the camera's own CGIs.
std::optional<std::string> PtzState::CheckControl(std::string_view, std::string_view) const {
    return std::nullopt;
}

void PtzState::ApplyControl(std::string_view, std::string_view) {}

} // namespace camsim

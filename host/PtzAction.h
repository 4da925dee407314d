// The actions of "fennwick-host ptz", as written on its command line:
//   move left|right|up|down|up-left|up-right|down-left|down-right SPEED
//   zoom in|out SPEED    focus near|far SPEED    iris open|close SPEED
//   stop    unzoom    center X Y    area-zoom X Y PERCENT
//   preset-save NAME    preset-call NAME [SPEED]    preset-delete NAME
//   presets    wait MS
// Speeds are the host's 1 to 16. X and Y are picture pixels, PERCENT the zoom
// that area-zoom asks for (README, "Steering a PTZ camera").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fennwick_host {

enum class PtzActionKind {
    Move,   // direction 0 to 7, speed
    Zoom,   // direction 8 (in) or 9 (out), speed
    Focus,  // near (flag), speed
    Iris,   // open (flag), speed
    Stop,
    Center, // x, y
    AreaZoom, // x, y, percent
    Unzoom,
    PresetSave, // name
    PresetCall, // name, speed
    PresetDelete, // name
    Presets,
    Wait, // milliseconds
};

struct PtzAction {
    PtzActionKind kind = PtzActionKind::Stop;
    int32_t direction = 0;
    bool flag = false; // focus near, iris open
    uint32_t speed = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t percent = 0;
    std::string name = {};
    uint32_t milliseconds = 0;
    std::string text = {}; // the action as given, for its result line

    bool operator==(const PtzAction&) const = default;
};

constexpr uint32_t kMinPtzSpeed = 1;
constexpr uint32_t kMaxPtzSpeed = 16;
// preset-call without a speed goes at the top speed.
constexpr uint32_t kDefaultPresetSpeed = kMaxPtzSpeed;
// The longest wait MS: one hour.
constexpr uint32_t kMaxPtzWaitMs = 3600 * 1000;

// The actions of the words in order; nullopt with error set on the first bad one.
std::optional<std::vector<PtzAction>> ParsePtzActions(const std::vector<std::string_view>& words, std::string& error);

} // namespace fennwick_host

// The camera's head and lens: where pan, tilt, zoom and focus stand, the moves
// under way and the preset positions. A move runs at its rate from when it was
// commanded until a stop, a preset call or the end of its axis; positions are
// worked out from the elapsed time when asked, so no thread runs. The preset
// names are mirrored into the "PresetName" item of inq=presetposition. The
// test hooks read it as
//   "ptz": {"pan": P, "tilt": T, "zoom": Z, "focus": F, "iris": I,
//           "presets": {"<number>": "<name>", ...}}
// in the units of Catalogue.h. Thread-safe.
#pragma once

#include "CameraState.h"
#include "TestHooks.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace camsim {

// Lens positions (Catalogue.h).
constexpr AxisRange kZoomRange{0, 0x4000};
constexpr AxisRange kFocusRange{0x1000, 0xC000};

class PtzState : public TestHookProvider {
public:
    using Clock = std::chrono::steady_clock;

    struct Position {
        int32_t pan = 0;
        int32_t tilt = 0;
        int32_t zoom = 0;
        int32_t focus = 0;
    };

    PtzState(CameraState& camera, const PtzSpec& spec);

    // Rates in units per second, signed by direction; 0 leaves an axis still.
    void MovePanTilt(double panRate, double tiltRate);
    void MoveZoom(double rate);
    void MoveFocus(double rate);
    void StopPanTilt();
    void StopZoom();
    void StopFocus();
    // Stops the zoom there (clamped to its range).
    void SetZoom(int32_t zoom);
    // Turns the head by the given amounts and sets the zoom.
    void ShiftView(int32_t panBy, int32_t tiltBy, int32_t zoom);

    // Preset numbers count from 1; false for a number out of range, or a
    // call or clear of a preset that is not set.
    bool SetPreset(uint32_t number, const std::string& name);
    bool CallPreset(uint32_t number);
    bool ClearPreset(uint32_t number);
    // Fault: the preset list answers the last name empty and a dangling number.
    void SetMalformedPresetNames(bool malformed);

    Position Now() const;

    void AppendState(std::vector<std::string>& members) const override;
    std::optional<std::string> CheckControl(std::string_view key, std::string_view value) const override;
    void ApplyControl(std::string_view key, std::string_view value) override;

private:
    // One motor: where it stood when its rate was last set, and that rate.
    struct MovingAxis {
        AxisRange range;
        double origin = 0;
        double rate = 0;
        Clock::time_point since{};

        int32_t At(Clock::time_point now) const;
        void Start(Clock::time_point now, double newRate);
        void Set(Clock::time_point now, double position);
    };
    struct Preset {
        std::string name;
        Position position;
    };

    Position NowLocked(Clock::time_point now) const;
    void PublishPresetNames(); // under the lock

    CameraState& m_camera;
    const PtzSpec m_spec;
    mutable std::mutex m_mutex;
    MovingAxis m_pan;
    MovingAxis m_tilt;
    MovingAxis m_zoom;
    MovingAxis m_focus;
    std::map<uint32_t, Preset> m_presets;
    bool m_malformedNames = false;
};

} // namespace camsim

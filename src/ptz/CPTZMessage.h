// One queued PTZ command: a type and five arguments whose meaning depends on
// the type (see the constants below).
#pragma once

#include <cstdint>

namespace talvex {

class CPTZMessage {
public:
    enum Type : int32_t {
        kMove = 1,     // b speed, c direction
        kFocus = 2,    // a kFocusFar or kFocusNear, b speed
        kIris = 3,     // a kIrisOpen or kIrisClose, b speed
        kStop = 4,     // a what stops (kStopPanTilt ... kStopIris)
        kAreaZoom = 5, // b host argument, c x, d y, e zoom percent
        kCenter = 6,   // b host argument, c x, d y
        kUnzoom = 7,   // b host argument
    };
    enum Direction : int32_t {
        kLeft = 0,
        kRight = 1,
        kUp = 2,
        kDown = 3,
        kUpLeft = 4,
        kUpRight = 5,
        kDownLeft = 6,
        kDownRight = 7,
        kZoomIn = 8,
        kZoomOut = 9,
        kNoDirection = 10,
    };
    enum Argument : uint32_t {
        kFocusFar = 1,
        kFocusNear = 2,
        kIrisOpen = 3,
        kIrisClose = 4,
        kStopPanTilt = 5,
        kStopZoom = 6,
        kStopFocus = 7,
        kStopIris = 8,
    };

    virtual ~CPTZMessage() = default;

    static bool IsZoomDirection(uint32_t direction) { return direction == kZoomIn || direction == kZoomOut; }
    // Moves and stops of the zoom lens.
    bool IsZoomCommand() const {
        return (type == kMove && IsZoomDirection(c)) || (type == kStop && a == kStopZoom);
    }
    // Moves and stops of pan and tilt.
    bool IsPanTiltCommand() const { return (type == kMove && c < kZoomIn) || (type == kStop && a == kStopPanTilt); }

    int32_t type = 0;
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t c = 0;
    uint32_t d = 0;
    uint32_t e = 0;
};

} // namespace talvex

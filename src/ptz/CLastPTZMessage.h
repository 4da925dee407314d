// The last continuous move sent on one axis group (pan/tilt or zoom), so that
// a repeated joystick position does not reach the camera again.
#pragma once

#include "ptz/CPTZMessage.h"

#include <cstdint>

namespace talvex {

class CLastPTZMessage {
public:
    virtual ~CLastPTZMessage() = default;

    void Set(int32_t newDirection, uint32_t newSpeed) {
        direction = newDirection;
        speed = newSpeed;
    }
    void Forget() { Set(CPTZMessage::kNoDirection, 0); }
    // The same direction at a speed that differs by less than 2 changes nothing
    // the operator can see; after a stop (speed 0) every move is new.
    bool Repeats(int32_t newDirection, uint32_t newSpeed) const {
        if (direction != newDirection || speed == 0)
            return false;
        const uint32_t difference = newSpeed > speed ? newSpeed - speed : speed - newSpeed;
        return difference < 2;
    }

    int32_t direction = CPTZMessage::kNoDirection;
    uint32_t speed = 0;
};

} // namespace talvex

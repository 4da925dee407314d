// One queued change of a digital output.
#pragma once

#include <cstdint>

namespace talvex {

// States of inputs and outputs as the host sees them.
enum IOState : uint32_t {
    kIOStateNone = 0, // not known yet
    kIOStateOff = 1,
    kIOStateOn = 2,
};

struct COutputState {
    uint32_t index = 0; // from 0
    uint32_t state = kIOStateNone;
};

} // namespace talvex

// What a device offers on one audio direction, as the host stores it
// (properties 101 input and 102 output): "Count=%u; IsStereo=%u".
#pragma once

#include <cstdint>
#include <string_view>

namespace talvex {

class CAudioCapabilities {
public:
    // Both numbers are required; a text that does not read gives 0 / false.
    static CAudioCapabilities FromText(std::string_view text);

    uint32_t Count = 0;
    // True only for an IsStereo of 1.
    bool IsStereo = false;
};

} // namespace talvex

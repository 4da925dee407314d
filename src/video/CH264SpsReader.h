// Reads the picture size from an H.264 sequence parameter set
// (ITU-T H.264 7.3.2.1.1), frame cropping applied.
#pragma once

#include <cstdint>
#include <span>

namespace talvex {

class CH264SpsReader {
public:
    // nalUnit: the SPS NAL unit, header byte included, emulation prevention
    // bytes still in place. False when it is not an SPS or does not parse.
    static bool ReadPictureSize(std::span<const uint8_t> nalUnit, uint16_t& width, uint16_t& height);

    static constexpr uint8_t kNalTypeSps = 7;
};

} // namespace talvex

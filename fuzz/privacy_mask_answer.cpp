// Fuzzes the reader of the camera's privacy mask answers, and the coordinate
// forms with zones and reference sizes taken from the same bytes: the masks
// held stay within the cap, every form gives a text or none without
// undefined behaviour (out-of-range float conversions included).
#include "privacy/PrivacyCoordinates.h"
#include "privacy/PrivacyMaskAnswer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace {

// Reference width and height, then left, top, width and height of a zone.
constexpr size_t kZoneBytes = 2 * sizeof(uint16_t) + 4 * sizeof(float);

void ConvertZone(const uint8_t* data) {
    uint16_t size[2];
    float percent[4];
    std::memcpy(size, data, sizeof(size));
    std::memcpy(percent, data + sizeof(size), sizeof(percent));
    talvex::CPrivacyZone zone(0, percent[0], percent[1], percent[2], percent[3]);
    for (uint32_t mode = talvex::PrivacyCoordinates::kConversionNone;
         mode <= talvex::PrivacyCoordinates::kConversionCorners; ++mode)
        talvex::PrivacyCoordinates::ToCameraText(talvex::PrivacyCoordinates::ConversionMode(mode), zone, size[0],
                                                 size[1]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto camera = talvex::PrivacyMaskAnswer::Read(std::span<const uint8_t>(data, size));
    if (camera && camera->masks.size() > talvex::PrivacyMaskAnswer::kMaxMasks)
        __builtin_trap();
    if (size >= kZoneBytes)
        ConvertZone(data);
    return 0;
}

#include "privacy/PrivacyCoordinates.h"

#include "common/StringFormat.h"

#include <cmath>

namespace talvex::PrivacyCoordinates {
namespace {

constexpr uint16_t kSmallestSize = 4;
constexpr uint32_t kGrid = 4;
constexpr float kLargestValue = 65535.0f;

// Polygon masks take whole pixels from this generation on, even ones before it.
constexpr uint32_t kCornersGeneration = 7;

struct Rectangle {
    int64_t x = 0, y = 0, width = 0, height = 0;
};

// trunc(length / 100 * percent + 0.5) in single precision, as the cameras'
// own set-up pages round; NaN and negatives give 0, huge values the largest.
int64_t Rounded(uint16_t length, float percent) {
    if (!(percent > 0.0f))
        return 0;
    const float value = std::trunc(float(length) / 100.0f * percent + 0.5f);
    return value < kLargestValue ? int64_t(value) : int64_t(kLargestValue);
}

// Shrinks the size, then moves the position back, while the mask reaches
// further than limit + overhang; neither goes below its floor.
void Fit(int64_t limit, int64_t overhang, int64_t step, int64_t positionFloor, int64_t& position, int64_t& size) {
    while (limit + overhang < position + size && size > kSmallestSize)
        size -= step;
    while (limit + overhang < position + size && position > positionFloor)
        position -= step;
}

Rectangle Scaled(CPrivacyZone& zone, uint16_t width, uint16_t height) {
    return {ScalePercent(width, zone.GetLeft()), ScalePercent(height, zone.GetTop()),
            ScalePercent(width, zone.GetWidth()), ScalePercent(height, zone.GetHeight())};
}

int64_t LowerToLength(int64_t value, uint16_t length) {
    while (value > length && value >= int64_t(kGrid))
        value -= kGrid;
    return value;
}

// Positions on the grid count from 1; sizes are rounded to the nearest step.
Rectangle OnGrid(CPrivacyZone& zone, uint16_t width, uint16_t height) {
    auto position = [](int64_t value, uint16_t length) { return LowerToLength(value / kGrid * kGrid + 1, length); };
    auto size = [](int64_t value, uint16_t length) { return LowerToLength((value + 2) / kGrid * kGrid, length); };
    Rectangle grid{position(Rounded(width, zone.GetLeft()), width), position(Rounded(height, zone.GetTop()), height),
                   size(Rounded(width, zone.GetWidth()), width), size(Rounded(height, zone.GetHeight()), height)};
    Fit(width, 1, kGrid, 5, grid.x, grid.width);
    Fit(height, 1, kGrid, 5, grid.y, grid.height);
    return grid;
}

Rectangle EvenCorners(CPrivacyZone& zone, uint16_t width, uint16_t height) {
    Rectangle even = Scaled(zone, width, height);
    even.x &= ~int64_t(1);
    even.y &= ~int64_t(1);
    even.width += even.width & 1;
    even.height += even.height & 1;
    Fit(width, 0, 2, kSmallestSize, even.x, even.width);
    Fit(height, 0, 2, kSmallestSize, even.y, even.height);
    return even;
}

// Strictly inside the picture: the last pixel is width - 1.
Rectangle Corners(CPrivacyZone& zone, uint16_t width, uint16_t height) {
    Rectangle inside = Scaled(zone, width, height);
    Fit(width, -1, 1, kSmallestSize, inside.x, inside.width);
    Fit(height, -1, 1, kSmallestSize, inside.y, inside.height);
    return inside;
}

std::string RectangleText(const Rectangle& r) {
    return FormatString("%hu,%hu,%hu,%hu", uint16_t(r.x), uint16_t(r.y), uint16_t(r.width), uint16_t(r.height));
}

std::string CornersText(const Rectangle& r) {
    const uint16_t left = uint16_t(r.x), top = uint16_t(r.y);
    const uint16_t right = uint16_t(r.x + r.width), bottom = uint16_t(r.y + r.height);
    return FormatString("%hu,%hu,%hu,%hu,%hu,%hu,%hu,%hu", left, top, right, top, right, bottom, left, bottom);
}

} // namespace

ConversionMode ModeOf(bool usesVertices, uint32_t generation, const std::string& model, bool hasPtz) {
    if (usesVertices)
        return generation < kCornersGeneration ? kConversionEvenCorners : kConversionCorners;
    switch (generation) {
    case 2:
    case 3:
        return kConversionPixels;
    case 4:
        return kConversionGrid;
    case 5:
    case 6:
        return model.find("SNT-") == std::string::npos && hasPtz ? kConversionPtz : kConversionGrid;
    case 7:
        return kConversionCorners;
    default:
        return kConversionNone;
    }
}

uint16_t ScalePercent(uint16_t length, float percent) {
    if (!(percent >= 0.0f))
        return 0;
    if (percent > 100.0f)
        return length;
    const float value = std::trunc(float(length) / 100.0f * percent + 0.5f);
    return value < float(kSmallestSize) ? 0 : uint16_t(value);
}

std::string ToCameraText(ConversionMode mode, CPrivacyZone& zone, uint16_t width, uint16_t height) {
    switch (mode) {
    case kConversionPixels:
        return RectangleText(Scaled(zone, width, height));
    case kConversionGrid:
        return RectangleText(OnGrid(zone, width, height));
    case kConversionEvenCorners:
        return CornersText(EvenCorners(zone, width, height));
    case kConversionCorners:
        return CornersText(Corners(zone, width, height));
    default:
        return std::string();
    }
}

} // namespace talvex::PrivacyCoordinates

#include "privacy/PrivacyCoordinates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace talvex {
namespace {

using namespace PrivacyCoordinates;

struct EdgeCase {
    const char* name;
    ConversionMode mode;
    uint16_t width, height;
    float left, top, zoneWidth, zoneHeight;
    const char* cameraText;
};

void PrintTo(const EdgeCase& value, std::ostream* out) { *out << value.name; }

class ConversionAtEdgesTest : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(ConversionAtEdgesTest, GivesTheCameraText) {
    const EdgeCase& row = GetParam();
    CPrivacyZone zone(0, row.left, row.top, row.zoneWidth, row.zoneHeight);
    EXPECT_EQ(ToCameraText(row.mode, zone, row.width, row.height), row.cameraText);
}

const float kNaN = std::nanf("");

INSTANTIATE_TEST_SUITE_P(
    ModesAndEdges, ConversionAtEdgesTest,
    ::testing::Values(
        EdgeCase{"PixelsBelowFourPixelsIsNoSize", kConversionPixels, 640, 480, 0.2f, 0, 0.5f, 0.5f, "0,0,0,0"},
        EdgeCase{"PixelsOutsideZeroToHundredClamped", kConversionPixels, 640, 480, -5, 120, 150, -1, "0,480,640,0"},
        EdgeCase{"PixelsNotANumberIsZero", kConversionPixels, 640, 480, kNaN, 10, kNaN, 10, "0,48,0,48"},
        EdgeCase{"GridPositionsCountFromOne", kConversionGrid, 640, 480, 10, 10, 50, 50, "65,49,320,240"},
        EdgeCase{"GridPastRightAndBottomShrinks", kConversionGrid, 640, 480, 50, 50, 60, 60, "321,241,320,240"},
        EdgeCase{"GridHugePercentStaysInside", kConversionGrid, 640, 480, 1e30f, 0, 1e30f, 100, "637,1,4,480"},
        EdgeCase{"EvenCornersRoundOddUp", kConversionEvenCorners, 1366, 768, 10, 10, 10, 10, "136,76,274,76,274,154,136,154"},
        EdgeCase{"CornersWholePictureInside", kConversionCorners, 1920, 1080, 0, 0, 100, 100, "0,0,1919,0,1919,1079,0,1079"},
        EdgeCase{"CornersAtBottomRightInside", kConversionCorners, 1920, 1080, 99, 99, 1, 1, "1901,1069,1919,1069,1919,1079,1901,1079"},
        EdgeCase{"PtzMasksNotWritten", kConversionPtz, 640, 480, 10, 10, 50, 50, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

#include "privacy/PrivacyCoordinates.h"

#include <gtest/gtest.h>

#include <cmath>
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
        EdgeCase{"PixelsWholePicture", kConversionPixels, 640, 480, 0, 0, 100, 100, "0,0,640,480"},
        EdgeCase{"PixelsBelowFourPixelsIsNoSize", kConversionPixels, 640, 480, 0.2f, 0, 0.5f, 0.5f, "0,0,0,0"},
        EdgeCase{"PixelsOutsideZeroToHundredClamped", kConversionPixels, 640, 480, -5, 120, 150, -1, "0,480,640,0"},
        EdgeCase{"PixelsNotANumberIsZero", kConversionPixels, 640, 480, kNaN, 10, kNaN, 10, "0,48,0,48"},
        EdgeCase{"GridPositionsCountFromOne", kConversionGrid, 640, 480, 10, 10, 50, 50, "65,49,320,240"},
        EdgeCase{"GridWholePicture", kConversionGrid, 640, 480, 0, 0, 100, 100, "1,1,640,480"},
        EdgeCase{"GridPastRightAndBottomShrinks", kConversionGrid, 640, 480, 50, 50, 60, 60, "321,241,320,240"},
        EdgeCase{"GridBeyondHundredLowered", kConversionGrid, 640, 480, 0, 0, 250, 100, "1,1,640,480"},
        EdgeCase{"GridHugePercentStaysInside", kConversionGrid, 640, 480, 1e30f, 0, 1e30f, 100, "637,1,4,480"},
        EdgeCase{"EvenCornersRoundOddUp", kConversionEvenCorners, 1366, 768, 10, 10, 10, 10,
                 "136,76,274,76,274,154,136,154"},
        EdgeCase{"EvenCornersMayTouchTheEdge", kConversionEvenCorners, 1920, 1080, 0, 0, 100, 100,
                 "0,0,1920,0,1920,1080,0,1080"},
        EdgeCase{"CornersWholePictureInside", kConversionCorners, 1920, 1080, 0, 0, 100, 100,
                 "0,0,1919,0,1919,1079,0,1079"},
        EdgeCase{"CornersAtBottomRightInside", kConversionCorners, 1920, 1080, 99, 99, 1, 1,
                 "1901,1069,1919,1069,1919,1079,1901,1079"},
        EdgeCase{"PtzMasksNotWritten", kConversionPtz, 640, 480, 10, 10, 50, 50, ""},
        EdgeCase{"UnknownFormNotWritten", kConversionNone, 640, 480, 10, 10, 50, 50, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct ModeCase {
    const char* name;
    bool usesVertices;
    uint32_t generation;
    const char* model;
    bool hasPtz;
    ConversionMode mode;
};

class ConversionModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ConversionModeTest, FollowsTheDevice) {
    const ModeCase& row = GetParam();
    EXPECT_EQ(ModeOf(row.usesVertices, row.generation, row.model, row.hasPtz), row.mode);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, ConversionModeTest,
    ::testing::Values(ModeCase{"PolygonsBeforeSeven", true, 6, "SNC-VB630", false, kConversionEvenCorners},
                      ModeCase{"PolygonsOnSeven", true, 7, "SNC-VB770", false, kConversionCorners},
                      ModeCase{"PtzCamera", false, 5, "SNC-RH124", true, kConversionPtz},
                      ModeCase{"VideoServerNeverMoves", false, 6, "SNT-EP104", true, kConversionGrid},
                      ModeCase{"FixedCamera", false, 6, "SNC-VB630", false, kConversionGrid},
                      ModeCase{"FirstGeneration", false, 1, "SNC-Z20N", false, kConversionNone}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

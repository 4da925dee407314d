#include "ptz/CPtzCapabilities.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

struct ReadCase {
    const char* text;
    bool pan, tilt, zoom, focus, iris, areaZoom, center, unzoom;
    uint32_t presets;
};

const ReadCase kReadCases[] = {
    {"", false, false, false, false, false, false, false, false, 0},
    {"Pan=1;Tilt=1;Zoom=1;Focus=1;Iris=1;AreaZoom=1;Center=1;Unzoom=1;Preset=16", true, true, true, true, true, true,
     true, true, 16},
    {"Pan=1; Tilt=0\tZoom=1\r\nPreset=256", true, false, true, false, false, false, false, false, 256},
    {"Pan=yes;Tilt=true;Zoom=2;Preset=x7", false, false, false, false, false, false, false, false, 0},
    {"Focus=1;;  ;Iris=1;Bogus=1;Preset=-3", false, false, false, true, true, false, false, false, 0},
};

TEST(CPtzCapabilitiesTest, ReadsFlagsOnlyFromTheValueOne) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.text);
        const CPtzCapabilities read = CPtzCapabilities::FromText(c.text);
        EXPECT_EQ(read.pan, c.pan);
        EXPECT_EQ(read.tilt, c.tilt);
        EXPECT_EQ(read.zoom, c.zoom);
        EXPECT_EQ(read.focus, c.focus);
        EXPECT_EQ(read.iris, c.iris);
        EXPECT_EQ(read.areaZoom, c.areaZoom);
        EXPECT_EQ(read.center, c.center);
        EXPECT_EQ(read.unzoom, c.unzoom);
        EXPECT_EQ(read.presetCount, c.presets);
    }
}

struct WriteCase {
    const char* in;
    const char* out;
};

// Zoom-dependent and pan/tilt-dependent flags are written only with their axis.
const WriteCase kWriteCases[] = {
    {"Pan=1;Tilt=1;Zoom=1;Focus=1;Iris=1;AreaZoom=1;Center=1;Unzoom=1;Preset=16",
     "Pan=1; Tilt=1; Zoom=1; Focus=1; Iris=1; Unzoom=1; AreaZoom=1; Center=1; Preset=16"},
    {"Unzoom=1;AreaZoom=1;Center=1", "Pan=0; Tilt=0; Zoom=0; Focus=0; Iris=0; Preset=0"},
    {"Tilt=1;Center=1;Unzoom=1", "Pan=0; Tilt=1; Zoom=0; Focus=0; Iris=0; Center=1; Preset=0"},
};

TEST(CPtzCapabilitiesTest, WritesInPropertyOrderAndReadsBackTheSame) {
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.in);
        const std::string written = CPtzCapabilities::FromText(c.in).ToText();
        EXPECT_EQ(written, c.out);
        EXPECT_EQ(CPtzCapabilities::FromText(written).ToText(), written);
    }
}

} // namespace
} // namespace talvex

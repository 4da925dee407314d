#include "ptz/CPtzCapabilities.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

struct TextCase {
    const char* in;
    const char* out;
};

// Flags are read only from the value 1 and written in property order; the
// zoom-dependent and pan/tilt-dependent flags only with their axis.
const TextCase kCases[] = {
    {"", "Pan=0; Tilt=0; Zoom=0; Focus=0; Iris=0; Preset=0"},
    {"Pan=1;Tilt=1;Zoom=1;Focus=1;Iris=1;AreaZoom=1;Center=1;Unzoom=1;Preset=16",
     "Pan=1; Tilt=1; Zoom=1; Focus=1; Iris=1; Unzoom=1; AreaZoom=1; Center=1; Preset=16"},
    {"Pan=1; Tilt=0\tZoom=1\r\nPreset=256", "Pan=1; Tilt=0; Zoom=1; Focus=0; Iris=0; Preset=256"},
    {"Pan=yes;Tilt=true;Zoom=2;Preset=x7", "Pan=0; Tilt=0; Zoom=0; Focus=0; Iris=0; Preset=0"},
    {"Focus=1;;  ;Iris=1;Bogus=1;Preset=-3", "Pan=0; Tilt=0; Zoom=0; Focus=1; Iris=1; Preset=0"},
    {"Unzoom=1;AreaZoom=1;Center=1", "Pan=0; Tilt=0; Zoom=0; Focus=0; Iris=0; Preset=0"},
    {"Tilt=1;Center=1;Unzoom=1", "Pan=0; Tilt=1; Zoom=0; Focus=0; Iris=0; Center=1; Preset=0"},
};

TEST(CPtzCapabilitiesTest, ReadsAndWritesTheCapabilityText) {
    for (const TextCase& c : kCases) {
        SCOPED_TRACE(c.in);
        const std::string written = CPtzCapabilities::FromText(c.in).ToText();
        EXPECT_EQ(written, c.out);
        EXPECT_EQ(CPtzCapabilities::FromText(written).ToText(), written);
    }
}

} // namespace
} // namespace talvex

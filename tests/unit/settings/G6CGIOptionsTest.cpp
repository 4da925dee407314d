#include "settings/G6CGIOptions.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(G6CGIOptionsTest, CapabilityListKeepsOrderAndEarlierValues) {
    G6CGIOptions options;
    options.Set("ImageCodec1", "h264");
    options.Set("FrameRate1", 29.97);
    options.Set("BitRate1", 4000u);
    options.Set("ImageCodec1", "jpeg");
    options.Set("", "x");
    options.Set("Empty", "");
    // A JPEG quality is named "Quality" in a capability inquiry.
    options.Set("JpegQuality2", 7u);
    options.Set("H264Quality1", 3u);
    EXPECT_EQ(options.ToCapabilityList(),
              "&ImageCodec1=h264&FrameRate1=29.97&BitRate1=4000&ImageCodec1=jpeg&Quality2=7&H264Quality1=3");
    EXPECT_TRUE(options.Has("BitRate1", "4000"));
    EXPECT_FALSE(options.Has("BitRate1", "400")) << "an option with another value";
    EXPECT_FALSE(options.Has("BitRate", "4000"));
    options.Clear();
    EXPECT_TRUE(options.Empty());
}

TEST(G6CGIOptionsTest, ChangeListHoldsOnlyWhatTheCameraReportsOtherwise) {
    G6CGIOptions options;
    options.Set("ImageCodec1", "h264");
    options.Set("ImageSize1", "1280,720");
    options.Set("JpegQuality2", 5u);
    options.Set("ImageCodec3", "off");
    EXPECT_EQ(options.ToChangeList("ImageCodec1=h264&ImageSize1=640,480&ImageCodec3=jpeg"),
              "&ImageSize1=1280,720&ImageCodec3=off");
}

} // namespace
} // namespace talvex

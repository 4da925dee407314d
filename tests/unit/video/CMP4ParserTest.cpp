#include "video/CMP4Parser.h"

#include "unit/video/VideoTestData.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

TEST(MP4Parser, ReadsTheLayerSizeOfAnFfmpegStream) {
    auto stream = ReadVideoFile("mpeg4_208x120.m4v");
    uint16_t width = 0, height = 0;
    ASSERT_TRUE(CMP4Parser::ReadPictureSize(stream, width, height));
    EXPECT_EQ(width, 208);
    EXPECT_EQ(height, 120);
}

TEST(MP4Parser, HeaderCutShortOrMissingFails) {
    auto stream = ReadVideoFile("mpeg4_208x120.m4v");
    uint16_t width = 0, height = 0;
    // The VOL header starts at the first 00 00 01 2x; cutting anywhere inside it fails.
    size_t vol = 0;
    while (!(stream[vol] == 0 && stream[vol + 1] == 0 && stream[vol + 2] == 1 && (stream[vol + 3] & 0xF0) == 0x20))
        ++vol;
    for (size_t length = 0; length < vol + 10; ++length)
        EXPECT_FALSE(CMP4Parser::ReadPictureSize(std::span(stream).first(length), width, height)) << length;
    EXPECT_EQ(width, 0);
}

TEST(MP4Parser, NonRectangularLayerFails) {
    // VOL start code, then: random_accessible 0, type 1, no identifier, aspect 0,
    // no control parameters, shape 10 (binary only): no width or height follows.
    const std::vector<uint8_t> header = {0x00, 0x00, 0x01, 0x20, 0x00, 0x81, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    uint16_t width = 0, height = 0;
    EXPECT_FALSE(CMP4Parser::ReadPictureSize(header, width, height));
}

} // namespace
} // namespace talvex::test

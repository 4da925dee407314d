#include "video/CMP4Parser.h"

#include "unit/video/VideoTestData.h"

#include <gtest/gtest.h>

#include <utility>

namespace talvex::test {
namespace {

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

// A rectangular VOL header with a fixed VOP rate: the fixed increment takes
// as many bits as the time resolution needs (at least one), so a count off by
// one at a power of two moves the picture size.
std::vector<uint8_t> VolHeader(uint32_t resolution, unsigned incrementBits) {
    std::vector<uint8_t> bytes = {0x00, 0x00, 0x01, 0x20};
    uint32_t pending = 0;
    unsigned count = 0;
    auto put = [&](uint32_t value, unsigned bits) {
        for (unsigned bit = bits; bit-- > 0;) {
            pending = (pending << 1) | ((value >> bit) & 1);
            if (++count == 8) {
                bytes.push_back(uint8_t(pending));
                pending = count = 0;
            }
        }
    };
    put(0, 1);          // random_accessible_vol
    put(1, 8);          // video_object_type_indication
    put(0, 1);          // is_object_layer_identifier
    put(1, 4);          // aspect_ratio_info
    put(0, 1);          // vol_control_parameters
    put(0, 2);          // rectangular
    put(1, 1);          // marker
    put(resolution, 16);
    put(1, 1);          // marker
    put(1, 1);          // fixed_vop_rate
    put(1, incrementBits);
    put(1, 1);          // marker
    put(176, 13);       // width
    put(1, 1);          // marker
    put(144, 13);       // height
    put(1, 1);          // marker
    put(0, (8 - count) % 8);
    return bytes;
}

// The time resolution and the bits its fixed increment takes.
class MP4ParserTimeResolution : public ::testing::TestWithParam<std::pair<uint32_t, unsigned>> {};

TEST_P(MP4ParserTimeResolution, FixedIncrementTakesTheBitsTheResolutionNeeds) {
    const auto [resolution, incrementBits] = GetParam();
    uint16_t width = 0, height = 0;
    ASSERT_TRUE(CMP4Parser::ReadPictureSize(VolHeader(resolution, incrementBits), width, height));
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 144);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, MP4ParserTimeResolution,
                         ::testing::Values(std::pair{1u, 1u}, std::pair{2u, 1u}, std::pair{16u, 4u}, std::pair{25u, 5u},
                                           std::pair{32768u, 15u}, std::pair{65535u, 16u}),
                         [](const auto& info) { return "Resolution" + std::to_string(info.param.first); });

} // namespace
} // namespace talvex::test

#include "video/CH264SpsReader.h"

#include "unit/video/VideoTestData.h"

#include <gtest/gtest.h>

#include <tuple>

namespace talvex::test {
namespace {

// A file of one SPS and the picture size it gives.
class H264SpsReaderTest : public ::testing::TestWithParam<std::tuple<const char*, int, int>> {};

TEST_P(H264SpsReaderTest, ReadsTheCroppedPictureSize) {
    const auto [file, expectedWidth, expectedHeight] = GetParam();
    auto sps = ReadVideoFile(file);
    ASSERT_FALSE(sps.empty());
    uint16_t width = 0, height = 0;
    ASSERT_TRUE(CH264SpsReader::ReadPictureSize(sps, width, height));
    EXPECT_EQ(width, expectedWidth);
    EXPECT_EQ(height, expectedHeight);
}

INSTANTIATE_TEST_SUITE_P(EncodedByFfmpeg, H264SpsReaderTest,
                         ::testing::Values(std::tuple{"h264_sps_1920x1080.bin", 1920, 1080},
                                           std::tuple{"h264_sps_1280x720.bin", 1280, 720},
                                           std::tuple{"h264_sps_720x576.bin", 720, 576},
                                           // Cropping counted in field pairs: 1088 frame lines less 2 x 4.
                                           std::tuple{"h264_sps_1920x1080_interlaced.bin", 1920, 1080}),
                         [](const auto& info) {
                             const std::string name = std::get<0>(info.param);
                             return name.substr(9, name.size() - 13); // h264_sps_<this>.bin
                         });

TEST(H264SpsReader, TruncatedOrForeignUnitsFail) {
    auto sps = ReadVideoFile("h264_sps_1920x1080.bin");
    uint16_t width = 0, height = 0;
    for (size_t length = 0; length < 8; ++length)
        EXPECT_FALSE(CH264SpsReader::ReadPictureSize(std::span(sps).first(length), width, height)) << length;
    auto pps = sps;
    pps[0] = 0x68;
    EXPECT_FALSE(CH264SpsReader::ReadPictureSize(pps, width, height));
    EXPECT_EQ(width, 0);
}

} // namespace
} // namespace talvex::test

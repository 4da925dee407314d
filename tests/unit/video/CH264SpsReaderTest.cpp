#include "video/CH264SpsReader.h"

#include "unit/video/VideoTestData.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

struct SpsCase {
    const char* file;
    uint16_t width;
    uint16_t height;
};

void PrintTo(const SpsCase& sps, std::ostream* out) { *out << sps.file; }

class H264SpsReaderTest : public ::testing::TestWithParam<SpsCase> {};

TEST_P(H264SpsReaderTest, ReadsTheCroppedPictureSize) {
    auto sps = ReadVideoFile(GetParam().file);
    ASSERT_FALSE(sps.empty());
    uint16_t width = 0, height = 0;
    ASSERT_TRUE(CH264SpsReader::ReadPictureSize(sps, width, height));
    EXPECT_EQ(width, GetParam().width);
    EXPECT_EQ(height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(EncodedByFfmpeg, H264SpsReaderTest,
                         ::testing::Values(SpsCase{"h264_sps_1920x1080.bin", 1920, 1080},
                                           SpsCase{"h264_sps_1280x720.bin", 1280, 720},
                                           SpsCase{"h264_sps_720x576.bin", 720, 576},
                                           // Cropping counted in field pairs: 1088 frame lines less 2 x 4.
                                           SpsCase{"h264_sps_1920x1080_interlaced.bin", 1920, 1080}),
                         [](const auto& info) {
                             std::string name = info.param.file;
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

#include "video/CJpegRTPMediaParser.h"

#include "unit/video/RtpParserFixture.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>

namespace talvex::test {
namespace {

// RTP/JPEG main header: type-specific 0, fragment offset, type, Q, width and height in blocks.
Bytes MainHeader(uint32_t offset, uint8_t type, uint8_t q, uint8_t widthBlocks, uint8_t heightBlocks) {
    return {0, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset), type, q, widthBlocks, heightBlocks};
}

using JpegParserTest = RtpParserFixture<CJpegRTPMediaParser>;

class JpegCapturedTest : public JpegParserTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(JpegCapturedTest, RebuildsTheReferenceFilesByteForByte) {
    Feed(ReadRtpSequence(GetParam()));
    ASSERT_EQ(client.frames.size(), 2u);
    for (size_t n = 0; n < 2; ++n) {
        const auto& frame = client.frames[n];
        EXPECT_EQ(frame.data, ReadVideoFile("jpeg_160x120_rebuilt_" + std::to_string(n) + ".jpg")) << n;
        EXPECT_EQ(frame.typeCode, kTypeJpeg);
        EXPECT_EQ(frame.width, 160);
        EXPECT_EQ(frame.height, 120);
        EXPECT_EQ(frame.sizeClass, 1u);
    }
    EXPECT_EQ(owner.allocator.released, 2);
}

// Q=255 carries libjpeg's tables in-band; Q=50 makes the parser compute them (RFC 2435 Appendix A).
INSTANTIATE_TEST_SUITE_P(RtpJpegPay, JpegCapturedTest,
                         ::testing::Values("jpeg_160x120_q255.rtp", "jpeg_160x120_q50.rtp"),
                         // jpeg_160x120_<this>.rtp
                         [](const auto& info) { return std::string(info.param).substr(13, std::strlen(info.param) - 17); });

TEST_F(JpegParserTest, QuantizationTablesScaleTheAnnexKTablesAsAppendixA) {
    auto q50 = CJpegHeaderWriter::MakeQuantizationTables(50);
    // Zigzag order: K.1 starts 16 11 12 14 12 10, K.2 starts 17 18 18 24 21 24.
    EXPECT_EQ(Bytes(q50.begin(), q50.begin() + 6), (Bytes{16, 11, 12, 14, 12, 10}));
    EXPECT_EQ(Bytes(q50.begin() + 64, q50.begin() + 70), (Bytes{17, 18, 18, 24, 21, 24}));
    auto q1 = CJpegHeaderWriter::MakeQuantizationTables(1);
    EXPECT_EQ(q1[0], 255); // 16 * 5000 / 100, clamped
    EXPECT_EQ(CJpegHeaderWriter::MakeQuantizationTables(0), q1);
    auto q99 = CJpegHeaderWriter::MakeQuantizationTables(99);
    EXPECT_EQ(q99[0], 1); // (16 * 2 + 50) / 100 = 0, raised to 1
    EXPECT_EQ(q99[63], 2); // (99 * 2 + 50) / 100
    auto q75 = CJpegHeaderWriter::MakeQuantizationTables(75);
    EXPECT_EQ(q75[0], 8); // (16 * 50 + 50) / 100
    // Reserved Q 100..127 scale as 99.
    EXPECT_EQ(CJpegHeaderWriter::MakeQuantizationTables(100), q99);
    EXPECT_EQ(CJpegHeaderWriter::MakeQuantizationTables(127), q99);
}

TEST_F(JpegParserTest, ReservedQBelow128ComputesItsTablesWithoutATableHeader) {
    Send(true, Concat({MainHeader(0, 1, 127, 2, 2), {0x01}}));
    ASSERT_EQ(client.frames.size(), 1u) << "Q 127 taken for a Q with tables in the packet";
    const auto q99 = CJpegHeaderWriter::MakeQuantizationTables(99);
    EXPECT_EQ(Bytes(client.frames[0].data.begin() + 7, client.frames[0].data.begin() + 71),
              Bytes(q99.begin(), q99.begin() + 64));
}

// The frame header of a one-packet picture: the size from the header's blocks, or from the configured size
// when the blocks cannot carry it (0, or a count cut to 8 bits); the sampling from the type (64 is 4:2:2,
// 65 4:2:0). The types with restart markers carry a restart header, which gives the DRI segment and is left
// out of the scan.
struct FrameHeaderCase {
    const char* name;
    uint8_t type;
    uint16_t configuredWidth, configuredHeight;
    uint8_t widthBlocks, heightBlocks;
    uint16_t width, height;
    uint32_t sizeClass;
    uint8_t lumaSampling;
};

void PrintTo(const FrameHeaderCase& value, std::ostream* out) { *out << value.name; }

class JpegFrameHeaderTest : public JpegParserTest, public ::testing::WithParamInterface<FrameHeaderCase> {};

TEST_P(JpegFrameHeaderTest, FrameAndFrameHeaderGetTheSizeAndTheSampling) {
    const FrameHeaderCase& row = GetParam();
    client.configuredWidth = row.configuredWidth;
    client.configuredHeight = row.configuredHeight;
    const bool restart = row.type >= 64;
    // Restart header: interval 0x0102, F=L=1, count 0x3FFF.
    const Bytes restartHeader = restart ? Bytes{0x01, 0x02, 0xFF, 0xFF} : Bytes{};
    Send(true, Concat({MainHeader(0, row.type, 50, row.widthBlocks, row.heightBlocks), restartHeader, {0xAB}}));
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].width, row.width);
    EXPECT_EQ(client.frames[0].height, row.height);
    EXPECT_EQ(client.frames[0].sizeClass, row.sizeClass);
    const Bytes& file = client.frames[0].data;
    const Bytes sofMarker = {0xFF, 0xC0};
    const auto sof = std::search(file.begin(), file.end(), sofMarker.begin(), sofMarker.end());
    ASSERT_LT(sof + 11, file.end());
    EXPECT_EQ(Bytes(sof + 5, sof + 9), (Bytes{uint8_t(row.height >> 8), uint8_t(row.height), uint8_t(row.width >> 8), uint8_t(row.width)}));
    EXPECT_EQ(sof[11], row.lumaSampling) << "luminance sampling";
    const Bytes dri = {0xFF, 0xDD, 0x00, 0x04, 0x01, 0x02};
    EXPECT_EQ(std::search(file.begin(), file.end(), dri.begin(), dri.end()) != file.end(), restart) << "restart interval";
    EXPECT_EQ(Bytes(file.end() - 3, file.end()), (Bytes{0xAB, 0xFF, 0xD9})) << "restart header left in the scan";
}

INSTANTIATE_TEST_SUITE_P(
    Types, JpegFrameHeaderTest,
    ::testing::Values(FrameHeaderCase{"Type64", 64, 0, 0, 40, 30, 320, 240, 2, 0x21},
                      FrameHeaderCase{"Type65", 65, 0, 0, 40, 30, 320, 240, 2, 0x22},
                      FrameHeaderCase{"ZeroTakesTheConfiguredSize", 0, 2560, 1920, 0, 0, 2560, 1920, 4, 0x21},
                      FrameHeaderCase{"ZeroWithoutAConfiguredSizeIs2048", 0, 0, 0, 0, 0, 2048, 2048, 4, 0x21},
                      // 320 blocks sent as 64; 240 fit
                      FrameHeaderCase{"TruncatedTakesTheConfiguredSize", 0, 2560, 1920, 64, 240, 2560, 1920, 4, 0x21},
                      FrameHeaderCase{"LargerConfiguredSizeButNotTwiceIsNotTaken", 0, 1280, 720, 80, 60, 640, 480, 4, 0x21}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JpegParserTest, EndOfImageIsAddedOnlyWhenMissing) {
    Send(false, Concat({MainHeader(0, 1, 50, 2, 2), {0x01, 0x02}}));
    Send(true, Concat({MainHeader(2, 1, 50, 2, 2), {0x03, 0xFF, 0xD9}}));
    Send(true, Concat({MainHeader(0, 1, 50, 2, 2), {0x04, 0xFF, 0x00}}));
    ASSERT_EQ(client.frames.size(), 2u);
    const Bytes& first = client.frames[0].data;
    // The scan header ends 3F 00; the scan already ends with EOI.
    EXPECT_EQ(Bytes(first.end() - 7, first.end()), (Bytes{0x3F, 0x00, 0x01, 0x02, 0x03, 0xFF, 0xD9}));
    const Bytes& second = client.frames[1].data;
    EXPECT_EQ(Bytes(second.end() - 5, second.end()), (Bytes{0x04, 0xFF, 0x00, 0xFF, 0xD9}));
}

TEST_F(JpegParserTest, StaticTablesSentOnceAreReusedForTheirQ) {
    Bytes tables(128);
    for (size_t i = 0; i < tables.size(); ++i)
        tables[i] = uint8_t(i + 1);
    Send(true, Concat({MainHeader(0, 1, 200, 2, 2), {0x00, 0x00, 0x00, 0x80}, tables, {0x01}}));
    Send(true, Concat({MainHeader(0, 1, 200, 2, 2), {0x00, 0x00, 0x00, 0x00}, {0x02}}));
    ASSERT_EQ(client.frames.size(), 2u);
    for (const auto& frame : client.frames) {
        EXPECT_EQ(Bytes(frame.data.begin() + 7, frame.data.begin() + 71), Bytes(tables.begin(), tables.begin() + 64));
        EXPECT_EQ(Bytes(frame.data.begin() + 76, frame.data.begin() + 140), Bytes(tables.begin() + 64, tables.end()));
    }
    // Another static Q without tables, or the dynamic Q without tables, cannot be rebuilt.
    Send(true, Concat({MainHeader(0, 1, 201, 2, 2), {0x00, 0x00, 0x00, 0x00}, {0x03}}));
    Send(true, Concat({MainHeader(0, 1, 255, 2, 2), {0x00, 0x00, 0x00, 0x00}, {0x04}}));
    EXPECT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(owner.allocator.released, owner.allocator.allocated);
}

TEST_F(JpegParserTest, SixteenBitTablesAreWrittenWithTheirPrecision) {
    Bytes tables(128 + 64, 0x01);
    Send(true, Concat({MainHeader(0, 1, 255, 2, 2), {0x00, 0x01, 0x00, 0xC0}, tables, {0x01}}));
    ASSERT_EQ(client.frames.size(), 1u);
    const Bytes& file = client.frames[0].data;
    EXPECT_EQ(Bytes(file.begin() + 2, file.begin() + 7), (Bytes{0xFF, 0xDB, 0x00, 0x83, 0x10}));
    EXPECT_EQ(Bytes(file.begin() + 135, file.begin() + 140), (Bytes{0xFF, 0xDB, 0x00, 0x43, 0x01}));
}

TEST_F(JpegParserTest, MalformedHeadersAreNotDelivered) {
    Send(true, Concat({MainHeader(0, 2, 50, 2, 2), {0x01}}));                      // undefined type
    Send(true, Concat({MainHeader(0, 1, 255, 2, 2), {0x00, 0x00, 0x00, 0x80, 0x01}})); // tables cut short
    Send(true, Concat({MainHeader(0, 65, 50, 2, 2), {0x00}}));                     // restart header cut short
    Send(true, {0x00, 0x00, 0x00});                                               // payload too short
    EXPECT_TRUE(client.frames.empty());
    EXPECT_EQ(owner.allocator.released, owner.allocator.allocated);
}

} // namespace
} // namespace talvex::test

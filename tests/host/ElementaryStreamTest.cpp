#include "ElementaryStream.h"

#include <gtest/gtest.h>

#include <talvex/ipcapture/HostObjects.h>

#include <vector>

namespace fennwick_host {
namespace {

using talvex::ipcapture::MakeFourCC;
using Bytes = std::vector<uint8_t>;

TEST(ElementaryStream, ClassifiesTheDriversFrameTypeCodes) {
    auto h264Key = ClassifyFrameType(MakeFourCC('H', '2', '6', '4'));
    ASSERT_TRUE(h264Key);
    EXPECT_EQ(h264Key->codec, VideoCodec::H264);
    EXPECT_TRUE(h264Key->isKey);
    auto h264 = ClassifyFrameType(MakeFourCC('I', '2', '6', '4'));
    ASSERT_TRUE(h264);
    EXPECT_FALSE(h264->isKey);
    auto mpeg4Key = ClassifyFrameType(MakeFourCC('D', 'I', 'V', 'X'));
    ASSERT_TRUE(mpeg4Key);
    EXPECT_EQ(mpeg4Key->codec, VideoCodec::Mpeg4);
    EXPECT_TRUE(mpeg4Key->isKey);
    EXPECT_FALSE(ClassifyFrameType(MakeFourCC('D', 'I', 'V', 'I'))->isKey);
    auto jpeg = ClassifyFrameType(MakeFourCC('J', 'P', 'E', 'G'));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->codec, VideoCodec::Jpeg);
    EXPECT_TRUE(jpeg->isKey);
    EXPECT_FALSE(ClassifyFrameType(MakeFourCC('7', '1', '1', 'M')));
    EXPECT_FALSE(ClassifyFrameType(MakeFourCC('4', '6', '2', 'H')));
    EXPECT_FALSE(ClassifyFrameType(0));
}

TEST(ElementaryStream, ParameterSetsOfAnAccessUnit) {
    // AUD, SPS, PPS (three-byte start code), SEI, IDR slice.
    Bytes unit = {0, 0, 0, 1, 0x09, 0xf0,                  //
                  0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1e, 0x00, // SPS ending in a zero before a four-byte start code
                  0, 0, 0, 1, 0x68, 0xce, 0x3c, 0x80,       //
                  0, 0, 1, 0x06, 0x05, 0x01,                //
                  0, 0, 1, 0x65, 0x88, 0x84, 0x00};
    Bytes expected = {0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1e, 0, 0, 0, 1, 0x68, 0xce, 0x3c, 0x80};
    EXPECT_EQ(H264ParameterSets(unit), expected);
}

TEST(ElementaryStream, ParameterSetsNeedBothKinds) {
    Bytes spsOnly = {0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1e, 0, 0, 0, 1, 0x65, 0x88};
    Bytes ppsOnly = {0, 0, 0, 1, 0x68, 0xce, 0, 0, 0, 1, 0x65, 0x88};
    Bytes sliceOnly = {0, 0, 0, 1, 0x41, 0x9a};
    EXPECT_TRUE(H264ParameterSets(spsOnly).empty());
    EXPECT_TRUE(H264ParameterSets(ppsOnly).empty());
    EXPECT_TRUE(H264ParameterSets(sliceOnly).empty());
    EXPECT_TRUE(H264ParameterSets({}).empty());
}

TEST(ElementaryStream, ParameterSetsSurviveTruncatedAndEmptyUnits) {
    // Back-to-back start codes, a start code at the very end, a lone NAL header byte.
    Bytes odd = {0, 0, 1, 0, 0, 1, 0x67, 0, 0, 1, 0x68, 0, 0, 1};
    Bytes expected = {0, 0, 0, 1, 0x67, 0, 0, 0, 1, 0x68};
    EXPECT_EQ(H264ParameterSets(odd), expected);
    for (size_t length = 0; length < odd.size(); ++length)
        H264ParameterSets(std::span<const uint8_t>(odd.data(), length));
}

TEST(ElementaryStream, Mpeg4HeadersEndAtTheFirstVop) {
    Bytes frame = {0, 0, 1, 0xb0, 0xf5,             // visual object sequence
                   0, 0, 1, 0xb5, 0x09,             // visual object
                   0, 0, 1, 0x00,                   // video object
                   0, 0, 1, 0x20, 0x00, 0xc4, 0x88, // video object layer
                   0, 0, 1, 0xb6, 0x10, 0x60};      // I-VOP
    auto headers = Mpeg4ConfigurationHeaders(frame);
    EXPECT_EQ(headers.size(), frame.size() - 6);
    EXPECT_EQ(headers.data(), frame.data());
}

TEST(ElementaryStream, Mpeg4FramesWithoutUsableHeaders) {
    Bytes vopOnly = {0, 0, 1, 0xb6, 0x10, 0x60};
    Bytes noVol = {0, 0, 1, 0xb0, 0xf5, 0, 0, 1, 0xb6, 0x10};
    Bytes noVop = {0, 0, 1, 0x20, 0x00, 0xc4};
    EXPECT_TRUE(Mpeg4ConfigurationHeaders(vopOnly).empty());
    EXPECT_TRUE(Mpeg4ConfigurationHeaders(noVol).empty());
    EXPECT_TRUE(Mpeg4ConfigurationHeaders(noVop).empty());
    EXPECT_TRUE(Mpeg4ConfigurationHeaders({}).empty());
    Bytes cutInStartCode = {0, 0, 1, 0x20, 0x00, 0, 0, 1};
    EXPECT_TRUE(Mpeg4ConfigurationHeaders(cutInStartCode).empty());
}

} // namespace
} // namespace fennwick_host

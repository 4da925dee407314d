#include "ElementaryStream.h"

#include <gtest/gtest.h>

#include <talvex/ipcapture/HostObjects.h>

#include <optional>
#include <vector>

namespace fennwick_host {
namespace {

using talvex::ipcapture::MakeFourCC;
using Bytes = std::vector<uint8_t>;

TEST(ElementaryStream, ClassifiesTheDriversFrameTypeCodes) {
    struct Row {
        uint32_t type;
        std::optional<VideoCodec> codec; // none: not a video type
        bool isKey;
    };
    const Row rows[] = {{MakeFourCC('H', '2', '6', '4'), VideoCodec::H264, true},
                        {MakeFourCC('I', '2', '6', '4'), VideoCodec::H264, false},
                        {MakeFourCC('D', 'I', 'V', 'X'), VideoCodec::Mpeg4, true},
                        {MakeFourCC('D', 'I', 'V', 'I'), VideoCodec::Mpeg4, false},
                        {MakeFourCC('J', 'P', 'E', 'G'), VideoCodec::Jpeg, true},
                        {MakeFourCC('7', '1', '1', 'M'), {}, false},
                        {MakeFourCC('4', '6', '2', 'H'), {}, false},
                        {0, {}, false}};
    for (const Row& row : rows) {
        const auto kind = ClassifyFrameType(row.type);
        ASSERT_EQ(kind.has_value(), row.codec.has_value()) << std::hex << row.type;
        if (kind) {
            EXPECT_EQ(kind->codec, *row.codec) << std::hex << row.type;
            EXPECT_EQ(kind->isKey, row.isKey) << std::hex << row.type;
        }
    }
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
    for (const Bytes& unit : {spsOnly, ppsOnly, sliceOnly, Bytes{}})
        EXPECT_TRUE(H264ParameterSets(unit).empty()) << unit.size() << " bytes";
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
    Bytes cutInStartCode = {0, 0, 1, 0x20, 0x00, 0, 0, 1};
    for (const Bytes& frame : {vopOnly, noVol, noVop, cutInStartCode, Bytes{}})
        EXPECT_TRUE(Mpeg4ConfigurationHeaders(frame).empty()) << frame.size() << " bytes";
}

} // namespace
} // namespace fennwick_host

#include "video/CMpeg4RTPMediaParser.h"

#include "unit/video/RtpParserFixture.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace talvex::test {
namespace {

const Bytes kVopStart = {0x00, 0x00, 0x01, 0xB6};

class Mpeg4ParserTest : public RtpParserFixture<CMpeg4RTPMediaParser> {
protected:
    static Bytes Vop(uint8_t codingType, std::initializer_list<uint8_t> data) {
        return Concat({kVopStart, {uint8_t(codingType << 6)}, Bytes(data)});
    }

    const Bytes stream = ReadVideoFile("mpeg4_208x120.m4v");
    const Bytes configuration{stream.begin(), std::search(stream.begin(), stream.end(), kVopStart.begin(), kVopStart.end())};
};

TEST_F(Mpeg4ParserTest, CapturedStreamGivesEveryVopWithTheConfigurationBeforeIntraVops) {
    Feed(ReadRtpSequence("mpeg4_208x120.rtp"));
    const auto esVops = UnitsOfType(SplitAtStartCodes(stream), 0xFF, {0xB6});
    ASSERT_EQ(esVops.size(), 6u);
    ASSERT_EQ(client.frames.size(), 6u);
    const uint32_t expectedTypes[] = {kTypeMpeg4KeyFrame, kTypeMpeg4Frame, kTypeMpeg4Frame,
                                      kTypeMpeg4KeyFrame, kTypeMpeg4Frame, kTypeMpeg4Frame};
    for (size_t i = 0; i < 6; ++i) {
        const auto& frame = client.frames[i];
        EXPECT_EQ(frame.typeCode, expectedTypes[i]) << i;
        EXPECT_EQ(frame.width, 208);
        EXPECT_EQ(frame.height, 120);
        EXPECT_EQ(frame.sizeClass, 2u);
        // A key frame starts with the visual object sequence, any other with its VOP.
        const Bytes start = {0, 0, 1, uint8_t(frame.typeCode == kTypeMpeg4KeyFrame ? 0xB0 : 0xB6)};
        EXPECT_EQ(Bytes(frame.data.begin(), frame.data.begin() + 4), start) << i;
        EXPECT_EQ(SplitAtStartCodes(frame.data).back(), esVops[i]) << i;
    }
    EXPECT_EQ(owner.allocator.released, 6);
}

TEST_F(Mpeg4ParserTest, SessionConfigurationIsUsedWithoutAnInBandOne) {
    parser.SetConfiguration({}, {}, configuration);
    Send(false, Vop(0, {0x11, 0x22}));
    Send(true, {0x33});
    Send(true, Vop(1, {0x44}));
    EXPECT_EQ(DeliveredData(), (std::vector<Bytes>{Concat({configuration, Vop(0, {0x11, 0x22, 0x33})}), Vop(1, {0x44})}));
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[0].typeCode, kTypeMpeg4KeyFrame);
    EXPECT_EQ(client.frames[1].typeCode, kTypeMpeg4Frame);
    EXPECT_EQ(client.frames[1].width, 208);
}

TEST_F(Mpeg4ParserTest, ShortConfigurationOnlyPayloadIsTakenAsConfiguration) {
    ASSERT_LT(configuration.size(), 64u);
    Send(false, configuration);
    Send(true, Vop(0, {0x55}));
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(Bytes(client.frames[0].data.begin(), client.frames[0].data.begin() + ptrdiff_t(configuration.size())),
              configuration);
}

TEST_F(Mpeg4ParserTest, PredictedVopsWaitUntilAnIntraVopHasBeenDelivered) {
    parser.SetConfiguration({}, {}, configuration);
    Send(false, Vop(0, {0x01})); // the I-VOP never gets its marker
    Send(true, Vop(1, {0x02}));
    Send(true, Vop(1, {0x03}));
    EXPECT_TRUE(client.frames.empty());
    Send(true, Vop(0, {0x04}));
    Send(true, Vop(1, {0x05}));
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[1].data, Vop(1, {0x05}));
}

TEST_F(Mpeg4ParserTest, IntraVopWithoutAReadableLayerHeaderIsDropped) {
    Send(true, Vop(0, {0x01}));
    Send(true, Vop(1, {0x02}));
    EXPECT_TRUE(client.frames.empty());
    EXPECT_EQ(owner.allocator.allocated, 0);
}

} // namespace
} // namespace talvex::test

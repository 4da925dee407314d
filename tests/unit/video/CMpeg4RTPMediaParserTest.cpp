#include "video/CMpeg4RTPMediaParser.h"

#include "unit/video/RtpParserFixture.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace talvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kVopStart = {0x00, 0x00, 0x01, 0xB6};

size_t Find(const Bytes& bytes, const Bytes& pattern, size_t from = 0) {
    auto it = std::search(bytes.begin() + ptrdiff_t(from), bytes.end(), pattern.begin(), pattern.end());
    return size_t(it - bytes.begin());
}

// Each VOP of an elementary stream, from its start code up to the next header start code.
std::vector<Bytes> Vops(const Bytes& stream) {
    std::vector<Bytes> vops;
    for (size_t at = Find(stream, kVopStart); at < stream.size(); at = Find(stream, kVopStart, at + 4)) {
        size_t end = at + 4;
        while (end + 3 <= stream.size() && !(stream[end] == 0 && stream[end + 1] == 0 && stream[end + 2] == 1))
            ++end;
        if (end + 3 > stream.size())
            end = stream.size();
        vops.emplace_back(stream.begin() + ptrdiff_t(at), stream.begin() + ptrdiff_t(end));
    }
    return vops;
}

class Mpeg4ParserTest : public RtpParserFixture<CMpeg4RTPMediaParser> {
protected:
    Mpeg4ParserTest() {
        stream = ReadVideoFile("mpeg4_208x120.m4v");
        configuration.assign(stream.begin(), stream.begin() + ptrdiff_t(Find(stream, kVopStart)));
    }
    static Bytes Vop(uint8_t codingType, std::initializer_list<uint8_t> data) {
        Bytes vop = kVopStart;
        vop.push_back(uint8_t(codingType << 6));
        vop.insert(vop.end(), data);
        return vop;
    }

    Bytes stream;
    Bytes configuration;
};

TEST_F(Mpeg4ParserTest, CapturedStreamGivesEveryVopWithTheConfigurationBeforeIntraVops) {
    for (const auto& packet : ReadRtpSequence("mpeg4_208x120.rtp"))
        parser.ProcessPacket(packet);
    auto esVops = Vops(stream);
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
        size_t vop = Find(frame.data, kVopStart);
        EXPECT_EQ(Bytes(frame.data.begin() + ptrdiff_t(vop), frame.data.end()), esVops[i]) << i;
        if (frame.typeCode == kTypeMpeg4KeyFrame) {
            EXPECT_EQ(Bytes(frame.data.begin(), frame.data.begin() + 4), (Bytes{0, 0, 1, 0xB0}));
        } else {
            EXPECT_EQ(vop, 0u);
        }
    }
    EXPECT_EQ(owner.allocator.released, 6);
}

TEST_F(Mpeg4ParserTest, SessionConfigurationIsUsedWithoutAnInBandOne) {
    parser.SetConfiguration({}, {}, configuration);
    Send(false, Vop(0, {0x11, 0x22}));
    Send(true, {0x33});
    Send(true, Vop(1, {0x44}));
    ASSERT_EQ(client.frames.size(), 2u);
    Bytes expected = configuration;
    for (uint8_t b : Vop(0, {0x11, 0x22, 0x33}))
        expected.push_back(b);
    EXPECT_EQ(client.frames[0].data, expected);
    EXPECT_EQ(client.frames[0].typeCode, kTypeMpeg4KeyFrame);
    EXPECT_EQ(client.frames[1].data, Vop(1, {0x44}));
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

TEST_F(Mpeg4ParserTest, PredictedVopsBeforeTheFirstIntraVopAreDropped) {
    parser.SetConfiguration({}, {}, configuration);
    Send(true, Vop(1, {0x01}));
    Send(true, Vop(2, {0x02}));
    EXPECT_TRUE(client.frames.empty());
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

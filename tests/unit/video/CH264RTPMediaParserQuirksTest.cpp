// The H.264 depacketiser against cameras that mark an SEI packet sent before
// the slices of a picture.
#include "video/CH264RTPMediaParser.h"

#include "unit/video/RtpParserFixture.h"
#include "unit/video/VideoTestData.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kStart = {0, 0, 1};
const Bytes kAud = {0, 0, 1, 0x09, 0x30};
// The first NAL unit of a type in a captured Annex B stream.
Bytes FirstUnitOfType(const Bytes& stream, uint8_t type) {
    for (size_t i = 0; i + 3 < stream.size(); ++i) {
        if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1 || (stream[i + 3] & 0x1F) != type)
            continue;
        size_t end = i + 3;
        while (end + 2 < stream.size() && !(stream[end] == 0 && stream[end + 1] == 0 && stream[end + 2] <= 1))
            ++end;
        return Bytes(stream.begin() + ptrdiff_t(i + 3), stream.begin() + ptrdiff_t(end));
    }
    return {};
}

const Bytes kSps = FirstUnitOfType(ReadVideoFile("h264_176x120.h264"), 7);
const Bytes kPps = FirstUnitOfType(ReadVideoFile("h264_176x120.h264"), 8);
const Bytes kSei = {0x06, 0x05, 0x01, 0x00, 0x80};

Bytes StapA(std::initializer_list<Bytes> units) {
    Bytes stap = {0x78};
    for (const Bytes& unit : units) {
        stap.push_back(uint8_t(unit.size() >> 8));
        stap.push_back(uint8_t(unit.size()));
        stap.insert(stap.end(), unit.begin(), unit.end());
    }
    return stap;
}

class H264MarkedSeiTest : public RtpParserFixture<CH264RTPMediaParser> {
protected:
    // A picture as such cameras send it: parameter sets, a marked SEI, then the
    // slice, fragmented, with the marker on its last fragment.
    void SendKeyFrameWithMarkedSei(bool seiInStap) {
        if (seiInStap) {
            Send(true, StapA({kSps, kPps, kSei}));
        } else {
            Send(false, StapA({kSps, kPps}));
            Send(true, kSei);
        }
        Send(false, {0x7C, 0x85, 0x01});
        Send(true, {0x7C, 0x45, 0x02});
    }
};

TEST_F(H264MarkedSeiTest, MarkedSeiAfterTheParameterSetsDoesNotSplitTheKeyFrame) {
    SendKeyFrameWithMarkedSei(false);
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].typeCode, kTypeH264KeyFrame);
    EXPECT_EQ(client.frames[0].data, Concat({kStart, kSps, kStart, kPps, kStart, {0x65, 0x01, 0x02}, kAud}));
}

TEST_F(H264MarkedSeiTest, MarkedStapWithSeiDoesNotSplitTheKeyFrame) {
    SendKeyFrameWithMarkedSei(true);
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].typeCode, kTypeH264KeyFrame);
    EXPECT_EQ(client.frames[0].data,
              Concat({kStart, kSps, kStart, kPps, kStart, kSei, kStart, {0x65, 0x01, 0x02}, kAud}));
}

TEST_F(H264MarkedSeiTest, FramesAfterAMarkedSeiEachCarryTheirSlice) {
    SendKeyFrameWithMarkedSei(false);
    for (uint8_t i = 0; i < 3; ++i) {
        Send(true, kSei);
        Send(true, {0x41, 0x9A, i});
    }
    ASSERT_EQ(client.frames.size(), 4u);
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(client.frames[i].typeCode, kTypeH264Frame);
        EXPECT_EQ(client.frames[i].data, Concat({kStart, {0x41, 0x9A, uint8_t(i - 1)}, kAud}));
    }
}

TEST_F(H264MarkedSeiTest, ConformingMarkerStillClosesEachFrame) {
    Send(false, StapA({kSps, kPps}));
    Send(true, {0x65, 0x88});
    Send(true, {0x41, 0x9A, 0x01});
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[0].typeCode, kTypeH264KeyFrame);
    EXPECT_EQ(client.frames[1].data, Concat({kStart, {0x41, 0x9A, 0x01}, kAud}));
}

} // namespace
} // namespace talvex::test

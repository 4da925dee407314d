#include "video/CH264RTPMediaParser.h"

#include "unit/video/RtpParserFixture.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

// NAL units of an Annex B stream (3- or 4-byte start codes), start codes removed.
std::vector<Bytes> SplitAnnexB(const Bytes& stream) {
    std::vector<Bytes> units;
    size_t i = 0;
    auto isStart = [&](size_t at) { return at + 3 <= stream.size() && stream[at] == 0 && stream[at + 1] == 0 && stream[at + 2] == 1; };
    while (i < stream.size() && !isStart(i))
        ++i;
    while (i < stream.size()) {
        size_t begin = i + 3;
        size_t end = begin;
        while (end < stream.size() && !isStart(end))
            ++end;
        size_t last = end;
        while (end < stream.size() && last > begin && stream[last - 1] == 0)
            --last; // the zero byte of a following 4-byte start code
        units.emplace_back(stream.begin() + ptrdiff_t(begin), stream.begin() + ptrdiff_t(last));
        i = end;
    }
    return units;
}

uint8_t TypeOf(const Bytes& nal) { return nal[0] & 0x1F; }

std::vector<Bytes> UnitsOfType(const std::vector<Bytes>& units, std::initializer_list<uint8_t> types) {
    std::vector<Bytes> selected;
    for (const auto& unit : units)
        for (uint8_t type : types)
            if (TypeOf(unit) == type)
                selected.push_back(unit);
    return selected;
}

const Bytes kStart = {0, 0, 1};
const Bytes kAud = {0, 0, 1, 0x09, 0x30};

class H264ParserTest : public RtpParserFixture<CH264RTPMediaParser> {
protected:
    H264ParserTest() {
        auto units = SplitAnnexB(ReadVideoFile("h264_176x120.h264"));
        sps = UnitsOfType(units, {7}).at(0);
        pps = UnitsOfType(units, {8}).at(0);
    }

    // A key frame from the configured SPS and PPS and a one-byte IDR slice.
    void SendKeyFrame() {
        parser.SetConfiguration(sps, pps, {});
        Send(true, {0x65, 0x88});
    }

    Bytes sps, pps;
};

TEST_F(H264ParserTest, CapturedStreamGivesEveryAccessUnitWithItsSlicesIntact) {
    auto packets = ReadRtpSequence("h264_176x120.rtp");
    ASSERT_GT(packets.size(), 20u);
    Feed(packets);

    auto esUnits = SplitAnnexB(ReadVideoFile("h264_176x120.h264"));
    auto esSlices = UnitsOfType(esUnits, {1, 5});
    ASSERT_EQ(client.frames.size(), 6u);
    std::vector<Bytes> deliveredSlices;
    const uint32_t expectedTypes[] = {kTypeH264KeyFrame, kTypeH264Frame, kTypeH264Frame,
                                      kTypeH264KeyFrame, kTypeH264Frame, kTypeH264Frame};
    for (size_t i = 0; i < client.frames.size(); ++i) {
        const auto& frame = client.frames[i];
        EXPECT_EQ(frame.typeCode, expectedTypes[i]) << "frame " << i;
        EXPECT_EQ(frame.width, 176);
        EXPECT_EQ(frame.height, 120);
        EXPECT_EQ(frame.sizeClass, 1u);
        EXPECT_EQ(frame.calls, (std::vector<std::string>{"data", "size", "format", "type", "time"}));
        ASSERT_GE(frame.data.size(), kAud.size());
        EXPECT_TRUE(std::equal(kAud.begin(), kAud.end(), frame.data.end() - 5)) << "frame " << i;
        ASSERT_TRUE(std::equal(kStart.begin(), kStart.end(), frame.data.begin()));
        auto units = SplitAnnexB(frame.data);
        if (frame.typeCode == kTypeH264KeyFrame) {
            EXPECT_EQ(UnitsOfType(units, {7}).at(0), sps);
        }
        for (auto& slice : UnitsOfType(units, {1, 5}))
            deliveredSlices.push_back(slice);
    }
    EXPECT_EQ(deliveredSlices, esSlices);
    EXPECT_EQ(owner.allocator.allocated, 6);
    EXPECT_EQ(owner.allocator.released, 6);
    EXPECT_EQ(owner.allocator.lastName, "Camera 10.1.1.9");
}

TEST_F(H264ParserTest, FrameTimeIsThatOfTheMarkerPacket) {
    auto packets = ReadRtpSequence("h264_176x120.rtp");
    Feed(packets);
    std::vector<uint64_t> markerTimes;
    for (const auto& packet : packets)
        if (packet.GetMarker())
            markerTimes.push_back(packet.GetTimestamp());
    ASSERT_EQ(markerTimes.size(), client.frames.size());
    for (size_t i = 0; i < markerTimes.size(); ++i)
        EXPECT_EQ(client.frames[i].time, markerTimes[i]);
}

TEST_F(H264ParserTest, LostFragmentDropsTheFrameAndWaitsForTheNextKeyFrame) {
    auto packets = ReadRtpSequence("h264_176x120.rtp");
    // The first IDR is the first FU-A run with type 5; lose its third fragment.
    size_t firstIdrFragment = 0;
    while (!(packets[firstIdrFragment].GetPayload()[0] == 0x7C && (packets[firstIdrFragment].GetPayload()[1] & 0x1F) == 5))
        ++firstIdrFragment;
    packets.erase(packets.begin() + ptrdiff_t(firstIdrFragment + 2));
    Feed(packets);
    ASSERT_EQ(client.frames.size(), 3u);
    EXPECT_EQ(client.frames[0].typeCode, kTypeH264KeyFrame);
    EXPECT_EQ(client.frames[1].typeCode, kTypeH264Frame);
}

TEST_F(H264ParserTest, ParameterSetsFromTheSessionArePutBeforeASingleNalIdr) {
    parser.SetConfiguration(sps, pps, {});
    EXPECT_EQ(parser.GetWidth(), 176);
    EXPECT_EQ(parser.GetHeight(), 120);
    Send(true, {0x65, 0x88, 0x84});
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].data, Concat({kStart, sps, kStart, pps, kStart, {0x65, 0x88, 0x84}, kAud}));
    EXPECT_EQ(client.frames[0].typeCode, kTypeH264KeyFrame);
}

TEST_F(H264ParserTest, InBandParameterSetsAreStoredAndPutBeforeAFragmentedIdr) {
    Send(false, sps);
    Send(false, pps);
    Send(false, {0x7C, 0x85, 0x01, 0x02}); // FU-A start of an IDR
    Send(false, {0x7C, 0x05, 0x03});       // middle
    Send(true, {0x7C, 0x45, 0x04});        // end
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].data,
              Concat({kStart, sps, kStart, pps, kStart, {0x65, 0x01, 0x02, 0x03, 0x04}, kAud}));
}

TEST_F(H264ParserTest, FragmentedIdrBeforeAnyFrameBoundaryGetsNoParameterSets) {
    parser.SetConfiguration(sps, pps, {});
    // Right after start the parser cannot know this is the first slice of an access unit.
    Send(false, {0x7C, 0x85, 0x01});
    Send(true, {0x7C, 0x45, 0x02});
    EXPECT_TRUE(client.frames.empty());
    Send(false, {0x7C, 0x85, 0x03});
    Send(true, {0x7C, 0x45, 0x04});
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].data, Concat({kStart, sps, kStart, pps, kStart, {0x65, 0x03, 0x04}, kAud}));
}

TEST_F(H264ParserTest, StapAUnitsAreAppendedWithStartCodes) {
    Bytes stap = {0x78};
    for (const Bytes* unit : {&sps, &pps}) {
        stap.push_back(uint8_t(unit->size() >> 8));
        stap.push_back(uint8_t(unit->size()));
        stap.insert(stap.end(), unit->begin(), unit->end());
    }
    stap.insert(stap.end(), {0x00, 0x02, 0x65, 0x88});
    Send(true, stap);
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].data, Concat({kStart, sps, kStart, pps, kStart, {0x65, 0x88}, kAud}));
    EXPECT_EQ(client.frames[0].typeCode, kTypeH264KeyFrame);
}

TEST_F(H264ParserTest, StapAWithASizeBeyondThePacketDropsThePartialFrame) {
    SendKeyFrame();
    Send(false, {0x41, 0x9A, 0x01});             // slice, NRI 2
    Send(false, {0x78, 0x00, 0x09, 0x41, 0x9A}); // claims 9 bytes, has 2
    Send(true, {0x41, 0x9A, 0x02});
    ASSERT_EQ(client.frames.size(), 1u); // the reset also waits for the next key frame
}

TEST_F(H264ParserTest, InterleavedModePacketTypesResetTheParser) {
    for (uint8_t type : {25, 26, 27, 29, 30, 31}) {
        SendKeyFrame();
        Send(false, {0x41, 0x9A, 0x01});
        Send(false, {uint8_t(0x60 | type), 0x00, 0x00, 0x00});
        Send(true, {0x41, 0x9A, 0x02});
    }
    EXPECT_EQ(client.frames.size(), 6u); // only the key frames
}

TEST_F(H264ParserTest, NonIdrFramesBeforeTheFirstKeyFrameAreDropped) {
    Send(true, {0x41, 0x9A, 0x01});
    Send(true, {0x41, 0x9A, 0x02});
    EXPECT_TRUE(client.frames.empty());
    SendKeyFrame();
    Send(true, {0x41, 0x9A, 0x03});
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[1].typeCode, kTypeH264Frame);
    EXPECT_EQ(client.frames[1].width, 176); // the size of the last key frame
}

TEST_F(H264ParserTest, SliceWithNriZeroNeverReachesTheFrame) {
    SendKeyFrame();
    Send(true, {0x01, 0x9A, 0x01}); // NRI 0: nothing refers to it
    EXPECT_EQ(client.frames.size(), 1u);
    Send(false, {0x01, 0x9A, 0x02});
    Send(true, {0x21, 0x9A, 0x03}); // NRI 1
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[1].data, Concat({kStart, {0x21, 0x9A, 0x03}, kAud}));
}

TEST_F(H264ParserTest, SeiAndDelimitersAreLeftOut) {
    SendKeyFrame();
    Send(false, {0x06, 0x05, 0x01});
    Send(false, {0x09, 0x30});
    Send(true, {0x41, 0x9A, 0x01});
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[1].data, Concat({kStart, {0x41, 0x9A, 0x01}, kAud}));
}

TEST_F(H264ParserTest, ContinuationFragmentsWithoutTheirStartAreDropped) {
    SendKeyFrame();
    Send(false, {0x7C, 0x01, 0x05}); // middle of a unit whose start was lost before the key frame
    Send(true, {0x41, 0x9A, 0x01});
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[1].data, Concat({kStart, {0x41, 0x9A, 0x01}, kAud}));
}

class H264SizeLimitTest : public H264ParserTest {
protected:
    // One FU-A slice whose assembled frame (start code, header, data) has frameBytes bytes.
    void SendFragmentedSlice(size_t frameBytes) {
        const size_t chunk = 60000;
        size_t data = frameBytes - 4; // start code and rebuilt NAL header
        Bytes payload(2 + std::min(chunk, data), 0x55);
        payload[0] = 0x5C;
        payload[1] = 0x81;
        size_t left = data;
        while (true) {
            size_t take = std::min(chunk, left);
            payload.resize(2 + take);
            left -= take;
            Send(left == 0, payload);
            if (left == 0)
                break;
            payload[1] = 0x01;
        }
    }
};

TEST_F(H264SizeLimitTest, FrameOfExactlyTheLimitPassesAndOneByteMoreResets) {
    SendKeyFrame();
    SendFragmentedSlice(kMaxFrameBytes);
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[1].data.size(), kMaxFrameBytes + kAud.size());
    EXPECT_TRUE(owner.driver.Lines().empty());

    SendFragmentedSlice(kMaxFrameBytes + 1);
    EXPECT_EQ(client.frames.size(), 2u);
    EXPECT_TRUE(owner.driver.HasLine(1, "Frame buffer overflow detected, device 10.1.1.9:8080"));
    // The reset waits for a key frame again.
    Send(true, {0x41, 0x9A, 0x01});
    EXPECT_EQ(client.frames.size(), 2u);
}

TEST_F(H264ParserTest, HostFrameTooSmallLogsACopyErrorAndIsReleased) {
    owner.allocator.shortBy = 1;
    SendKeyFrame();
    EXPECT_TRUE(client.frames.empty());
    EXPECT_TRUE(owner.driver.HasLine(1, "Data copying error, device Camera 10.1.1.9"));
    EXPECT_EQ(owner.allocator.allocated, 1);
    EXPECT_EQ(owner.allocator.released, 1);
}

TEST_F(H264ParserTest, ConfigurationWithAnUnreadableSpsIsIgnored) {
    parser.SetConfiguration(Bytes{0x67, 0x64}, pps, {});
    EXPECT_EQ(parser.GetWidth(), 0);
    Send(true, {0x65, 0x88});
    EXPECT_TRUE(client.frames.empty()); // no parameter sets, so no key frame
}

} // namespace
} // namespace talvex::test

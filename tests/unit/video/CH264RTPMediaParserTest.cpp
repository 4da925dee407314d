// The H.264 depacketiser (RFC 6184 single NAL units, STAP-A and FU-A), also
// against cameras that mark an SEI packet sent before the slices of a picture.
#include "video/CH264RTPMediaParser.h"

#include "unit/video/RtpParserFixture.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <ostream>

namespace talvex::test {
namespace {

const std::vector<Bytes> kStreamUnits = SplitAtStartCodes(ReadVideoFile("h264_176x120.h264"));
const Bytes kSps = UnitsOfType(kStreamUnits, 0x1F, {7}).at(0);
const Bytes kPps = UnitsOfType(kStreamUnits, 0x1F, {8}).at(0);
const Bytes kSei = {0x06, 0x05, 0x01, 0x00, 0x80};
const Bytes kStart = {0, 0, 1};
const Bytes kAud = {0, 0, 1, 0x09, 0x30};

// The access unit the parser should deliver: each unit after a start code, then a delimiter.
Bytes AccessUnit(std::initializer_list<Bytes> units) {
    Bytes all;
    for (const Bytes& unit : units)
        all = Concat({all, kStart, unit});
    return Concat({all, kAud});
}

Bytes StapA(std::initializer_list<Bytes> units) {
    Bytes stap = {0x78};
    for (const Bytes& unit : units)
        stap = Concat({stap, {uint8_t(unit.size() >> 8), uint8_t(unit.size())}, unit});
    return stap;
}

class H264ParserTest : public RtpParserFixture<CH264RTPMediaParser> {
protected:
    // A key frame from the configured SPS and PPS and a one-byte IDR slice.
    void SendKeyFrame() {
        parser.SetConfiguration(kSps, kPps, {});
        Send(true, {0x65, 0x88});
    }
};

TEST_F(H264ParserTest, CapturedStreamGivesEveryAccessUnitWithItsSlicesIntactAtItsMarkerTime) {
    auto packets = ReadRtpSequence("h264_176x120.rtp");
    ASSERT_GT(packets.size(), 20u);
    Feed(packets);

    std::vector<uint64_t> markerTimes;
    for (const auto& packet : packets)
        if (packet.GetMarker())
            markerTimes.push_back(packet.GetTimestamp());
    ASSERT_EQ(client.frames.size(), 6u);
    ASSERT_EQ(markerTimes.size(), 6u);
    std::vector<Bytes> deliveredSlices;
    const uint32_t expectedTypes[] = {kTypeH264KeyFrame, kTypeH264Frame, kTypeH264Frame,
                                      kTypeH264KeyFrame, kTypeH264Frame, kTypeH264Frame};
    for (size_t i = 0; i < client.frames.size(); ++i) {
        const auto& frame = client.frames[i];
        EXPECT_EQ(frame.typeCode, expectedTypes[i]) << "frame " << i;
        EXPECT_EQ(frame.time, markerTimes[i]) << "frame " << i;
        EXPECT_EQ(frame.width, 176);
        EXPECT_EQ(frame.height, 120);
        EXPECT_EQ(frame.sizeClass, 1u);
        ASSERT_GE(frame.data.size(), kAud.size());
        EXPECT_TRUE(std::equal(kAud.begin(), kAud.end(), frame.data.end() - 5)) << "frame " << i;
        ASSERT_TRUE(std::equal(kStart.begin(), kStart.end(), frame.data.begin()));
        auto units = SplitAtStartCodes(frame.data);
        if (frame.typeCode == kTypeH264KeyFrame) {
            EXPECT_EQ(UnitsOfType(units, 0x1F, {7}).at(0), kSps);
        }
        for (auto& slice : UnitsOfType(units, 0x1F, {1, 5}))
            deliveredSlices.push_back(slice);
    }
    EXPECT_EQ(deliveredSlices, UnitsOfType(kStreamUnits, 0x1F, {1, 5}));
    EXPECT_EQ(owner.allocator.released, 6);
    EXPECT_EQ(owner.allocator.lastName, "Camera 10.1.1.9");
}

TEST_F(H264ParserTest, FrameOfExactlyTheSizeLimitPassesAndOneByteMoreIsDropped) {
    // One FU-A slice whose assembled frame (start code, rebuilt header, data) has frameBytes bytes.
    auto sendSlice = [this](size_t frameBytes) {
        for (size_t left = frameBytes - 4, first = 1; left > 0; first = 0) {
            const size_t take = std::min<size_t>(60000, left);
            left -= take;
            Bytes payload(2 + take, 0x55);
            payload[0] = 0x5C;
            payload[1] = uint8_t(first ? 0x81 : 0x01);
            Send(left == 0, payload);
        }
    };
    SendKeyFrame();
    sendSlice(kMaxFrameBytes);
    ASSERT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(client.frames[1].data.size(), kMaxFrameBytes + kAud.size());
    EXPECT_TRUE(owner.driver.Lines().empty());
    sendSlice(kMaxFrameBytes + 1);
    EXPECT_EQ(client.frames.size(), 2u);
    EXPECT_EQ(CountLines(owner.driver, "Frame buffer overflow"), 1u);
}

TEST_F(H264ParserTest, HostFrameTooSmallLogsACopyErrorAndIsReleased) {
    owner.allocator.shortBy = 1;
    SendKeyFrame();
    EXPECT_TRUE(client.frames.empty());
    EXPECT_EQ(CountLines(owner.driver, "Data copying error"), 1u);
    EXPECT_EQ(owner.allocator.allocated, 1);
    EXPECT_EQ(owner.allocator.released, 1);
}

TEST_F(H264ParserTest, ConfigurationWithAnUnreadableSpsIsIgnored) {
    parser.SetConfiguration(Bytes{0x67, 0x64}, kPps, {});
    EXPECT_EQ(parser.GetWidth(), 0);
    Send(true, {0x65, 0x88});
    EXPECT_TRUE(client.frames.empty()); // no parameter sets, so no key frame
}

// Packets and the access units they give, with the session's parameter sets or without.
struct AssemblyCase {
    const char* name;
    bool sessionParameterSets;
    std::vector<RtpPayload> packets;
    std::vector<Bytes> frames;
};

void PrintTo(const AssemblyCase& value, std::ostream* out) { *out << value.name; }

class H264AssemblyTest : public H264ParserTest, public ::testing::WithParamInterface<AssemblyCase> {};

TEST_P(H264AssemblyTest, GivesTheAccessUnits) {
    if (GetParam().sessionParameterSets)
        parser.SetConfiguration(kSps, kPps, {});
    Send(GetParam().packets);
    EXPECT_EQ(DeliveredData(), GetParam().frames);
    for (const auto& frame : client.frames) {
        const bool idr = !UnitsOfType(SplitAtStartCodes(frame.data), 0x1F, {5}).empty();
        EXPECT_EQ(frame.typeCode, idr ? kTypeH264KeyFrame : kTypeH264Frame);
    }
}

const Bytes kIdr = {0x65, 0x88};
const Bytes kSlice = {0x41, 0x9A, 0x01};      // non-IDR slice, NRI 2
const Bytes kNri1Slice = {0x21, 0x9A, 0x03}; // NRI 1 still counts
const Bytes kSeiAlone = {0x06, 0x05, 0x01};

// The key frame after an interleaved-mode packet of this type (RFC 6184 section 5.4) reset the parser.
AssemblyCase Interleaved(const char* name, uint8_t type) {
    return {name, true, {{true, kIdr}, {false, kSlice}, {false, {uint8_t(0x60 | type), 0, 0, 0}}, {true, kSlice}},
            {AccessUnit({kSps, kPps, kIdr})}};
}

INSTANTIATE_TEST_SUITE_P(
    Packets, H264AssemblyTest,
    ::testing::Values(
        AssemblyCase{"SessionParameterSetsBeforeASingleNalIdr", true, {{true, kIdr}}, {AccessUnit({kSps, kPps, kIdr})}},
        AssemblyCase{"InBandParameterSetsBeforeAFragmentedIdr", false, {{false, kSps}, {false, kPps}, {false, {0x7C, 0x85, 0x01, 0x02}}, {false, {0x7C, 0x05, 0x03}}, {true, {0x7C, 0x45, 0x04}}}, {AccessUnit({kSps, kPps, {0x65, 0x01, 0x02, 0x03, 0x04}})}},
        // Right after start the parser cannot know this is the first slice of an access unit.
        AssemblyCase{"FragmentedIdrBeforeAnyFrameBoundaryIsDropped", true, {{false, {0x7C, 0x85, 0x01}}, {true, {0x7C, 0x45, 0x02}}, {false, {0x7C, 0x85, 0x03}}, {true, {0x7C, 0x45, 0x04}}}, {AccessUnit({kSps, kPps, {0x65, 0x03, 0x04}})}},
        AssemblyCase{"StapAUnitsGetStartCodes", false, {{true, StapA({kSps, kPps, kIdr})}}, {AccessUnit({kSps, kPps, kIdr})}},
        // The reset also waits for the next key frame.
        AssemblyCase{"StapAWithASizeBeyondThePacketDropsThePartialFrame", true, {{true, kIdr}, {false, kSlice}, {false, {0x78, 0x00, 0x09, 0x41, 0x9A}}, {true, kSlice}}, {AccessUnit({kSps, kPps, kIdr})}},
        Interleaved("InterleavedStapBResets", 25), Interleaved("InterleavedMtap16Resets", 26),
        Interleaved("InterleavedMtap24Resets", 27), Interleaved("InterleavedFuBResets", 29),
        Interleaved("ReservedType30Resets", 30), Interleaved("ReservedType31Resets", 31),
        // Units that never reach a frame.
        AssemblyCase{"SliceOfNriZeroIsLeftOut", true, {{true, kIdr}, {false, {0x01, 0x9A, 0x02}}, {true, kNri1Slice}}, {AccessUnit({kSps, kPps, kIdr}), AccessUnit({kNri1Slice})}},
        AssemblyCase{"SeiAndDelimiterAreLeftOut", true, {{true, kIdr}, {false, kSeiAlone}, {false, {0x09, 0x30}}, {true, kNri1Slice}}, {AccessUnit({kSps, kPps, kIdr}), AccessUnit({kNri1Slice})}},
        // The middle of a unit whose start was lost before the key frame.
        AssemblyCase{"ContinuationWithoutItsStartIsLeftOut", true, {{true, kIdr}, {false, {0x7C, 0x01, 0x05}}, {true, kNri1Slice}}, {AccessUnit({kSps, kPps, kIdr}), AccessUnit({kNri1Slice})}},
        // Cameras that mark an SEI sent before the slices of a picture, alone or in the STAP-A.
        AssemblyCase{"MarkedSeiAloneDoesNotSplitAPicture", false, {{false, StapA({kSps, kPps})}, {true, kSei}, {false, {0x7C, 0x85, 0x01}}, {true, {0x7C, 0x45, 0x02}}, {true, kSei}, {true, kSlice}, {true, kSei}, {true, kNri1Slice}}, {AccessUnit({kSps, kPps, {0x65, 0x01, 0x02}}), AccessUnit({kSlice}), AccessUnit({kNri1Slice})}},
        AssemblyCase{"MarkedSeiInTheStapADoesNotSplitAPicture", false, {{true, StapA({kSps, kPps, kSei})}, {false, {0x7C, 0x85, 0x01}}, {true, {0x7C, 0x45, 0x02}}, {true, kSei}, {true, kSlice}}, {AccessUnit({kSps, kPps, kSei, {0x65, 0x01, 0x02}}), AccessUnit({kSlice})}}),
    [](const auto& info) { return std::string(info.param.name); });


} // namespace
} // namespace talvex::test

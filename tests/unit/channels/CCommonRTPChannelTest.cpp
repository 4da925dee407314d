#include "channels/CCommonRTPChannel.h"

#include "support/FakeChannelHost.h"
#include "support/Loopback.h"
#include "unit/video/VideoTestData.h"
#include "channels/CH264ChannelRTP.h"
#include "channels/CMJPEGChannelHTTP.h"
#include "channels/CMPEG4ChannelRTP.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <vector>

namespace talvex::test {
namespace {

// A slice of this many bytes, its header byte then filler, after a 4-byte start code.
std::vector<uint8_t> Slice(uint8_t header, size_t bytes) {
    std::vector<uint8_t> slice = {0, 0, 0, 1, header};
    slice.resize(4 + bytes, 0x5A);
    return slice;
}

// An access unit of a 1280x720 stream: SPS, then an IDR slice.
std::vector<uint8_t> KeyFrame() {
    return Concat({{0, 0, 0, 1}, ReadVideoFile("h264_sps_1280x720.bin"), Slice(0x65, 300)});
}

std::vector<uint8_t> PredictedFrame(size_t bytes = 200) { return Slice(0x41, bytes); }

// The size the SPS gives: HttpStartedRtpTest.PayloadsUpToTheMarkerMakeOneFrame.
TEST(CH264ChannelRTPScanTest, SpsOrIdrMakesAKeyFrame) {
    EXPECT_TRUE(CH264ChannelRTP::ScanFrame(KeyFrame()).keyFrame);
    EXPECT_FALSE(CH264ChannelRTP::ScanFrame(PredictedFrame()).keyFrame);
    // The header bytes Sony cameras send (nal_ref_idc 1) count as well.
    EXPECT_TRUE(CH264ChannelRTP::ScanFrame(std::vector<uint8_t>{0, 0, 1, 0x25, 0x88}).keyFrame);
    EXPECT_FALSE(CH264ChannelRTP::ScanFrame(std::vector<uint8_t>{0, 0, 1}).keyFrame);
    EXPECT_FALSE(CH264ChannelRTP::ScanFrame(std::vector<uint8_t>{}).keyFrame);
}

TEST(CMPEG4ChannelRTPScanTest, OnlyAnIntraVopIsAKeyFrame) {
    EXPECT_TRUE(CMPEG4ChannelRTP::HoldsIntraVop(std::vector<uint8_t>{0, 0, 1, 0xB0, 1, 0, 0, 1, 0xB6, 0x10}));
    EXPECT_FALSE(CMPEG4ChannelRTP::HoldsIntraVop(std::vector<uint8_t>{0, 0, 1, 0xB6, 0x50}));
    EXPECT_FALSE(CMPEG4ChannelRTP::HoldsIntraVop(std::vector<uint8_t>{0, 0, 1, 0xB6}));
}

TEST(CMJPEGChannelHTTPPathTest, PathFollowsTheGeneration) {
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(1, "SNC-X", 0), "/image");
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(3, "SNC-X", 10), "/image");
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(4, "SNC-X", 10), "/mjpeg");
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(5, "SNC-X", 10), "/mjpeg");
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(6, "SNC-X", 10), "/image");
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(7, "SNC-Z20", 10), "/image1");
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(1, "SNC-Z20", 10), "/image?speed=10");
    EXPECT_EQ(CMJPEGChannelHTTP::StreamPath(1, "SNC-Z20", 0), "/image");
}

// Packets go straight into the channel as its receiver would hand them over.
class HttpStartedRtpTest : public ::testing::Test {
protected:
    HttpStartedRtpTest() : driver("127.0.0.1", 80), channel(0, &driver, &sink) {
        driver.m_allocator = &allocator;
        // A stream is joined anywhere: what comes before the first marker is dropped.
        SendPacket(PredictedFrame(), false);
        SendPacket(PredictedFrame(), true);
    }
    // Sends a frame in pieces of at most `piece` bytes, the marker on the last.
    void SendFrame(const std::vector<uint8_t>& frame, size_t piece = 120) {
        for (size_t offset = 0; offset < frame.size(); offset += piece) {
            const size_t length = std::min(piece, frame.size() - offset);
            const bool last = offset + length == frame.size();
            SendPacket(std::vector<uint8_t>(frame.begin() + offset, frame.begin() + offset + length), last);
        }
        timestamp += 3000;
    }
    void SendPacket(const std::vector<uint8_t>& payload, bool marker) {
        channel.OnRTPPacket(camera, MakeRtpPacket(sequence++, timestamp, marker, payload));
    }

    FakeDriver driver;
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
    CH264ChannelRTP channel;
    const sockaddr_in camera = Loopback(0);
    uint16_t sequence = 65530;
    uint32_t timestamp = 1000;
};

TEST_F(HttpStartedRtpTest, PayloadsUpToTheMarkerMakeOneFrame) {
    const std::vector<uint8_t> key = KeyFrame();
    SendFrame(key);
    SendFrame(PredictedFrame());
    ASSERT_EQ(sink.Types(), (std::vector<uint32_t>{kTypeH264KeyFrame, kTypeH264Frame}));
    EXPECT_EQ(sink.Sizes().front(), key.size());
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{1280, 720}));
    EXPECT_EQ(allocator.LiveFrames(), 0u);
}

TEST_F(HttpStartedRtpTest, FramesBeforeTheFirstKeyFrameAreDropped) {
    SendFrame(PredictedFrame());
    EXPECT_EQ(sink.FrameCount(), 0u);
    SendFrame(KeyFrame());
    EXPECT_EQ(sink.FrameCount(), 1u);
}

// The frames after a broken one refer to it: none is delivered before the next key frame.
TEST_F(HttpStartedRtpTest, AGapDropsEveryFrameUpToTheNextKeyFrame) {
    SendFrame(KeyFrame());
    const std::vector<uint8_t> broken = PredictedFrame(300);
    SendPacket(std::vector<uint8_t>(broken.begin(), broken.begin() + 150), false);
    ++sequence; // one packet lost
    SendPacket(std::vector<uint8_t>(broken.begin() + 150, broken.end()), true);
    SendFrame(PredictedFrame());
    EXPECT_EQ(sink.Types(), (std::vector<uint32_t>{kTypeH264KeyFrame}));
    SendFrame(KeyFrame());
    SendFrame(PredictedFrame());
    EXPECT_EQ(sink.Types(), (std::vector<uint32_t>{kTypeH264KeyFrame, kTypeH264KeyFrame, kTypeH264Frame}));
}

TEST_F(HttpStartedRtpTest, FrameOfAHundredBytesOrLessIsDropped) {
    SendFrame(KeyFrame());
    SendFrame(PredictedFrame(96)); // 100 bytes with its start code
    SendFrame(PredictedFrame(97));
    EXPECT_EQ(sink.Sizes(), (std::vector<uint32_t>{uint32_t(KeyFrame().size()), 101u}));
}

TEST_F(HttpStartedRtpTest, HostWithoutFramesIsLogged) {
    allocator.Refuse(true);
    SendFrame(KeyFrame());
    EXPECT_TRUE(driver.HasLine(1, "AllocVideo failed for intra-frame from device 127.0.0.1:80"));
}

TEST_F(HttpStartedRtpTest, OverflowingFrameIsDroppedWithTheBufferLine) {
    const std::vector<uint8_t> piece(1400, 0x11);
    const size_t pieces = kMaxFrameBytes / piece.size() + 1;
    for (size_t i = 0; i < pieces; ++i)
        SendPacket(piece, false);
    EXPECT_EQ(CountLines(driver, "Buffer overflow detected for device 127.0.0.1:80"), 1u);
    SendPacket(piece, true); // the rest of the oversized frame
    SendFrame(KeyFrame());
    EXPECT_EQ(sink.FrameCount(), 1u);
}

} // namespace
} // namespace talvex::test

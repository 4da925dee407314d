// Sony video channels against camsim's own media routes when the camera
// misbehaves: it stops sending (signal lost, then back), drops the stream in
// the middle of a frame, loses packets, or refuses the reconnect with 401.
// Every frame a channel delivers must decode: the frames are written one
// after the other to an elementary stream that ffmpeg decodes without error.
#include "channels/CH264ChannelRTP.h"

#include "support/ChannelRig.h"
#include "support/MediaProbe.h"
#include "support/WaitUntil.h"
#include "channels/CMJPEGChannelHTTP.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

constexpr auto kLimit = 10000ms;

class LiveVideoFaults : public ::testing::Test {
protected:
    // A generation 4 camera: HTTP-started RTP and motion JPEG over HTTP.
    void SetUp() override {
        sink.keepBytes = true;
        ASSERT_NO_FATAL_FAILURE(m_rig.Start("SNC-RH124", driver, allocator, {.media = true}));
        driver.m_hostDirectory = m_host.Path();
    }

    // ffmpeg decodes the delivered frames as one stream without an error, and finds each of them.
    void ExpectEveryFrameDecodes(const char* format) {
        const std::string path = m_host.Path() + "delivered." + format;
        std::vector<uint8_t> stream;
        for (const std::vector<uint8_t>& frame : sink.Frames())
            stream.insert(stream.end(), frame.begin(), frame.end());
        // The H.264 depacketiser closes every frame with an access unit
        // delimiter; the one after the last frame would start an empty access unit.
        static constexpr uint8_t kClosingDelimiter[] = {0x00, 0x00, 0x01, 0x09, 0x30};
        if (stream.size() >= sizeof kClosingDelimiter &&
            std::equal(std::end(kClosingDelimiter) - 5, std::end(kClosingDelimiter), stream.end() - 5))
            stream.resize(stream.size() - sizeof kClosingDelimiter);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()),
                                                    std::streamsize(stream.size()));
        ExpectCleanDecode(path, format);
        EXPECT_EQ(ProbeEntries(path, "stream=nb_read_frames", format)["nb_read_frames"],
                  std::to_string(sink.FrameCount()));
    }

    HostDirectory m_host; // no configuration file
    FakeDriver driver{"127.0.0.1", 80, "admin", "admin"};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
    CamsimCamera m_rig; // declared last: stopped first
};

// The camera stops sending or drops the stream mid-frame, for the HTTP-started
// RTP channel and the motion JPEG channel.
enum class Fault { StopSending, DropMidFrame };

struct HttpFaultCase {
    const char* name;
    bool motionJpeg;
    Fault fault;
};

void PrintTo(const HttpFaultCase& row, std::ostream* out) { *out << row.name; }

class LiveVideoHttpFaults : public LiveVideoFaults, public ::testing::WithParamInterface<HttpFaultCase> {};

TEST_P(LiveVideoHttpFaults, ChannelRecoversAndEveryFrameDecodes) {
    const HttpFaultCase& row = GetParam();
    std::unique_ptr<ICameraChannel> channel;
    if (row.motionJpeg)
        channel = std::make_unique<CMJPEGChannelHTTP>(0, &driver, &sink);
    else
        channel = std::make_unique<CH264ChannelRTP>(0, &driver, &sink);
    ASSERT_TRUE(channel->Start({}));
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 10; }, kLimit));
    if (row.fault == Fault::DropMidFrame) {
        // The camera ends its stream in the middle of a frame: the channel opens
        // a new one before the first time-out (no loss reported) and frames flow again.
        m_rig.media->DropStreams();
        ASSERT_TRUE(WaitUntil([&] { return m_rig.media->StreamStarts() >= 2; }, kLimit));
        const size_t framesBefore = sink.FrameCount();
        ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() > framesBefore + 10; }, kLimit));
        channel->Stop();
        EXPECT_TRUE(sink.SignalLostTimes().empty());
    } else {
        // The loss is reported once; the channel is online again once frames return.
        m_rig.media->Faults().stopSending = true;
        ASSERT_TRUE(WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, kLimit));
        EXPECT_EQ(CountLines(driver, "Signal was lost for camera 127.0.0.1"), 1u);
        const size_t framesWhileLost = sink.FrameCount();
        m_rig.media->Faults().stopSending = false;
        ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "is online") == 2; }, kLimit));
        EXPECT_TRUE(WaitUntil([&] { return sink.FrameCount() > framesWhileLost + 5; }, kLimit));
        // The RTP stream the channel leaves is ended by its RTCP BYE (those it started
        // while the camera sent nothing, no sender report either, run out by RtpExpire).
        const size_t streams = m_rig.media->ActiveRtpStreams();
        channel->Stop();
        if (!row.motionJpeg) {
            ASSERT_GE(streams, 1u);
            EXPECT_TRUE(WaitUntil([&] { return m_rig.media->ActiveRtpStreams() == streams - 1; }, 2000ms));
        }
    }
    ExpectEveryFrameDecodes(row.motionJpeg ? "mjpeg" : "h264");
}

INSTANTIATE_TEST_SUITE_P(Faults, LiveVideoHttpFaults,
                         ::testing::Values(HttpFaultCase{"HttpRtpStopsSending", false, Fault::StopSending},
                                           HttpFaultCase{"HttpRtpDroppedMidFrame", false, Fault::DropMidFrame},
                                           HttpFaultCase{"MotionJpegStopsSending", true, Fault::StopSending},
                                           HttpFaultCase{"MotionJpegDroppedMidPicture", true, Fault::DropMidFrame}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LiveVideoFaults, HttpStartedRtpWithLostPacketsDeliversOnlyWholeDecodableFrames) {
    // Every stream restarts the count: 23 spares the key frame a new session waits for.
    m_rig.media->Faults().loseEveryNth = 23;
    CH264ChannelRTP channel(0, &driver, &sink);
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 40; }, kLimit)) << sink.FrameCount() << " frames";
    channel.Stop();
    EXPECT_EQ(sink.Types().front(), kTypeH264KeyFrame);
    ExpectEveryFrameDecodes("h264");
}

TEST_F(LiveVideoFaults, ReconnectRefusedWith401IsRetriedUntilTheCameraTakesItAgain) {
    CH264ChannelRTP channel(0, &driver, &sink);
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }, kLimit));
    camsim::HttpFaults refuse;
    refuse.always401 = true;
    m_rig.camera->Http().SetFaults(refuse);
    m_rig.media->DropStreams();
    ASSERT_TRUE(WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, kLimit));
    // Refused attempts, one a second, their cause told once; none of them started a stream.
    std::this_thread::sleep_for(2500ms);
    size_t refused = 0;
    for (const camsim::RequestRecord& request : m_rig.camera->Http().Requests())
        refused += request.status == 401 ? 1 : 0;
    EXPECT_GE(refused, 2u);
    EXPECT_EQ(CountLines(driver, "cannot start: unable to receive the current video configuration"), 1u);
    EXPECT_EQ(m_rig.media->StreamStarts(), 1u);
    EXPECT_EQ(channel.GetState(), uint32_t(kChannelSignalLost));
    m_rig.camera->Http().SetFaults({});
    ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "is online") == 2; }, kLimit));
    EXPECT_EQ(channel.GetState(), uint32_t(kChannelStreaming));
    channel.Stop();
    ExpectEveryFrameDecodes("h264");
}

} // namespace
} // namespace talvex

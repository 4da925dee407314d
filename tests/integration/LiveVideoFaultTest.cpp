// Sony video channels against camsim's own media routes when the camera
// misbehaves: it stops sending (signal lost, then back), drops the stream in
// the middle of a frame, loses packets, or refuses the reconnect with 401.
// Every frame a channel delivers must decode: the frames are written one
// after the other to an elementary stream that ffmpeg decodes without error.
#include "channels/CH264ChannelRTP.h"

#include "support/ChannelRig.h"
#include "support/MediaProbe.h"
#include "support/WaitUntil.h"
#include "channels/CH264ChannelRTSP.h"
#include "channels/CMJPEGChannelHTTP.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

constexpr auto kLimit = 10000ms;

class LiveVideoFaults : public ::testing::Test {
protected:
    void StartCamera(const std::string& model, bool withRtsp = false) {
        sink.keepBytes = true;
        ASSERT_NO_FATAL_FAILURE(m_rig.Start(model, driver, allocator, {.media = true, .rtsp = withRtsp}));
        m_camera = m_rig.camera.get();
        m_media = m_rig.media;
        m_rtsp = m_rig.rtsp;
        driver.m_hostDirectory = m_host.Path();
    }

    // ffmpeg decodes the delivered frames as one stream without an error, and finds each of them.
    void ExpectEveryFrameDecodes(const char* format) {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const auto path = std::filesystem::path(FENNWICK_BINARY_DIR) / "tests" / "integration" /
                          ("delivered-" + name + "." + format);
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
        ExpectCleanDecode(path.string(), format);
        EXPECT_EQ(ProbeEntries(path.string(), "stream=nb_read_frames", format)["nb_read_frames"],
                  std::to_string(sink.FrameCount()));
        if (!HasFailure())
            std::filesystem::remove(path);
    }

    // The camera stops sending: the loss is reported once; the channel is online again once frames return.
    void StopSendingAndExpectRecovery(ICameraChannel& channel) {
        ASSERT_TRUE(channel.Start({}));
        ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }, kLimit));
        m_media->Faults().stopSending = true;
        ASSERT_TRUE(WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, kLimit));
        EXPECT_EQ(CountLines(driver, "Signal was lost for camera 127.0.0.1"), 1u);
        const size_t framesWhileLost = sink.FrameCount();
        m_media->Faults().stopSending = false;
        ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "is online") == 2; }, kLimit));
        EXPECT_TRUE(WaitUntil([&] { return sink.FrameCount() > framesWhileLost + 5; }, kLimit));
    }

    // The camera ends its stream in the middle of a frame: the channel opens a new one and frames flow again.
    void DropMidFrameAndExpectANewStream(ICameraChannel& channel) {
        ASSERT_TRUE(channel.Start({}));
        ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 10; }, kLimit));
        m_media->DropStreams();
        ASSERT_TRUE(WaitUntil([&] { return m_media->StreamStarts() >= 2; }, kLimit));
        const size_t framesBefore = sink.FrameCount();
        ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() > framesBefore + 10; }, kLimit));
        channel.Stop();
        // Opened again before the first time-out: no loss reported.
        EXPECT_TRUE(sink.SignalLostTimes().empty());
    }

    HostDirectory m_host; // no configuration file
    FakeDriver driver{"127.0.0.1", 80, "admin", "admin"};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
    CamsimCamera m_rig; // declared last: stopped first
    camsim::Camera* m_camera = nullptr;
    camsim::HttpMedia* m_media = nullptr;
    camsim::RtspServer* m_rtsp = nullptr;
};

TEST_F(LiveVideoFaults, HttpStartedRtpThatStopsIsReportedLostAndComesBack) {
    StartCamera("SNC-RH124");
    CH264ChannelRTP channel(0, &driver, &sink);
    StopSendingAndExpectRecovery(channel);
    // The stream the channel leaves is ended by its RTCP BYE (those it started
    // while the camera sent nothing, no sender report either, run out by RtpExpire).
    const size_t streams = m_media->ActiveRtpStreams();
    ASSERT_GE(streams, 1u);
    channel.Stop();
    EXPECT_TRUE(WaitUntil([&] { return m_media->ActiveRtpStreams() == streams - 1; }, 2000ms));
    ExpectEveryFrameDecodes("h264");
}

TEST_F(LiveVideoFaults, HttpStartedRtpDroppedMidFrameIsStartedAgainWithoutAPartFrame) {
    StartCamera("SNC-RH124");
    CH264ChannelRTP channel(0, &driver, &sink);
    DropMidFrameAndExpectANewStream(channel);
    ExpectEveryFrameDecodes("h264");
}

TEST_F(LiveVideoFaults, HttpStartedRtpWithLostPacketsDeliversOnlyWholeDecodableFrames) {
    StartCamera("SNC-RH124");
    // Every stream restarts the count: 23 spares the key frame a new session waits for.
    m_media->Faults().loseEveryNth = 23;
    CH264ChannelRTP channel(0, &driver, &sink);
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 40; }, kLimit)) << sink.FrameCount() << " frames";
    channel.Stop();
    EXPECT_EQ(sink.Types().front(), kTypeH264KeyFrame);
    ExpectEveryFrameDecodes("h264");
}

TEST_F(LiveVideoFaults, RtspWithLostPacketsWaitsForTheNextKeyFrame) {
    StartCamera("SNC-CH210", true);
    m_rtsp->Faults().loseEveryNth = 29;
    CH264ChannelRTSP channel(0, &driver, &sink, PortOnly(m_rtsp->GetPort()));
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 15; }, kLimit));
    channel.Stop();
    EXPECT_EQ(sink.Types().front(), kTypeH264KeyFrame);
    ExpectEveryFrameDecodes("h264");
}

TEST_F(LiveVideoFaults, MotionJpegDroppedMidPictureIsOpenedAgainWithoutAPartPicture) {
    StartCamera("SNC-RH124");
    CMJPEGChannelHTTP channel(0, &driver, &sink);
    DropMidFrameAndExpectANewStream(channel);
    for (uint32_t type : sink.Types())
        EXPECT_EQ(type, kTypeJpeg);
    ExpectEveryFrameDecodes("mjpeg");
}

TEST_F(LiveVideoFaults, MotionJpegThatStopsIsReportedLostAndComesBack) {
    StartCamera("SNC-RH124");
    CMJPEGChannelHTTP channel(0, &driver, &sink);
    StopSendingAndExpectRecovery(channel);
    channel.Stop();
    ExpectEveryFrameDecodes("mjpeg");
}

TEST_F(LiveVideoFaults, ReconnectRefusedWith401IsRetriedUntilTheCameraTakesItAgain) {
    StartCamera("SNC-RH124");
    CH264ChannelRTP channel(0, &driver, &sink);
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }, kLimit));
    camsim::HttpFaults refuse;
    refuse.always401 = true;
    m_camera->Http().SetFaults(refuse);
    m_media->DropStreams();
    ASSERT_TRUE(WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, kLimit));
    // Refused attempts, one a second, their cause told once; none of them started a stream.
    std::this_thread::sleep_for(2500ms);
    size_t refused = 0;
    for (const camsim::RequestRecord& request : m_camera->Http().Requests())
        refused += request.status == 401 ? 1 : 0;
    EXPECT_GE(refused, 2u);
    EXPECT_EQ(CountLines(driver, "cannot start: unable to receive the current video configuration"), 1u);
    EXPECT_EQ(m_media->StreamStarts(), 1u);
    EXPECT_EQ(channel.GetState(), uint32_t(kChannelSignalLost));
    m_camera->Http().SetFaults({});
    ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "is online") == 2; }, kLimit));
    EXPECT_EQ(channel.GetState(), uint32_t(kChannelStreaming));
    channel.Stop();
    ExpectEveryFrameDecodes("h264");
}

} // namespace
} // namespace talvex

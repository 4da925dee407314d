// Sony video channels against the simulated camera on loopback: RTSP streams
// over UDP, TCP and interleaved, HTTP-started RTP and motion JPEG over HTTP
// (camsim's own media routes), delivered to a fake host; signal loss, BYE,
// suspend and prompt stops.
#include "channels/CH264ChannelRTSP.h"

#include "support/ChannelRig.h"
#include "support/WaitUntil.h"
#include "channels/CH264ChannelRTP.h"
#include "channels/CMJPEGChannelHTTP.h"
#include "channels/CMJPEGChannelRTSP.h"
#include "channels/CMPEG4ChannelRTSP.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

// A stop ends the channel's threads within two seconds.
void ExpectPromptStop(ICameraChannel& channel) {
    const auto stopStart = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(MsSince(stopStart), 2000);
}

struct RtspCase {
    const char* rtpMode;
    uint32_t kind; // camsim serves H.264 on video1, MPEG-4 on video2, JPEG on video3
};

void PrintTo(const RtspCase& value, std::ostream* out) { *out << value.rtpMode << " video" << value.kind + 1; }

class RtspChannelTest : public ::testing::TestWithParam<RtspCase> {
protected:
    void SetUp() override {
        camsim::RtspServerOptions options;
        options.generation = 6;
        options.audio = false;
        m_server = std::make_unique<camsim::RtspServer>(options);
        std::string error;
        ASSERT_TRUE(m_server->Start(error)) << error;
        UseShortTimeouts(driver, allocator, 6);
        driver.m_hostDirectory = m_host.Path();
    }
    void TearDown() override { m_server->Stop(); }

    // A channel of the kind (the codec of its camsim path), started and streaming.
    std::unique_ptr<CCommonRTSPChannel> StartStreaming(uint32_t kind) {
        TSmartPtr<IVideoSettingsManager> manager = PortOnly(m_server->GetPort());
        std::unique_ptr<CCommonRTSPChannel> channel;
        if (kind == kRecordingChannel)
            channel = std::make_unique<CH264ChannelRTSP>(0, &driver, &sink, manager);
        else if (kind == kLiveChannel)
            channel = std::make_unique<CMPEG4ChannelRTSP>(0, &driver, &sink, manager);
        else
            channel = std::make_unique<CMJPEGChannelRTSP>(0, &driver, &sink, manager);
        ChannelStartParameters parameters;
        parameters.firstValue = 100;
        parameters.width = 320;
        parameters.height = 240;
        parameters.kind = kind;
        EXPECT_TRUE(channel->Start(parameters));
        EXPECT_TRUE(WaitUntil([&] { return channel->GetState() == kChannelStreaming; }, 10000ms));
        return channel;
    }

    HostDirectory m_host{GetParam().rtpMode};
    std::unique_ptr<camsim::RtspServer> m_server;
    FakeDriver driver{"127.0.0.1", 80};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
};

// The first frame is a key frame; the camera stops sending: the loss is told once
// and frames come back; a stop is prompt, leaves no frame behind and ends the
// session (TEARDOWN, or the closed connection when interleaved). The rules
// behind (paths, stream wishes, the online line) are unit-tested.
TEST_P(RtspChannelTest, LostSignalIsReportedTheStreamComesBackAndStopEndsTheSession) {
    const uint32_t kind = GetParam().kind;
    auto channel = StartStreaming(kind);
    ASSERT_EQ(channel->GetState(), uint32_t(kChannelStreaming));
    EXPECT_EQ(sink.Types().front(), kind == kRecordingChannel ? kTypeH264KeyFrame
                                    : kind == kLiveChannel    ? kTypeMpeg4KeyFrame
                                                              : kTypeJpeg);
    m_server->Faults().stopSending = true;
    ASSERT_TRUE(WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, 10000ms));
    EXPECT_EQ(CountLines(driver, "Signal was lost for camera 127.0.0.1"), 1u);
    m_server->Faults().stopSending = false;
    ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "is online") == 2; }, 10000ms));
    // The packet path announces the frame; the worker sets the state on its next pass.
    EXPECT_TRUE(WaitUntil([&] { return channel->GetState() == kChannelStreaming; }, 2000ms));
    const size_t teardowns = CountRequests(m_server->RequestLog(), "TEARDOWN");
    ExpectPromptStop(*channel);
    EXPECT_EQ(channel->GetState(), uint32_t(kChannelStopped));
    EXPECT_EQ(allocator.LiveFrames(), 0u);
    if (std::string(GetParam().rtpMode) != "RTPoverRTSP") {
        EXPECT_TRUE(WaitUntil([&] { return CountRequests(m_server->RequestLog(), "TEARDOWN") == teardowns + 1; },
                              2000ms));
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, RtspChannelTest,
                         ::testing::Values(RtspCase{"RTPoverUDP", kRecordingChannel},
                                           RtspCase{"RTPoverTCP", kRecordingChannel},
                                           RtspCase{"RTPoverRTSP", kRecordingChannel},
                                           RtspCase{"RTPoverUDP", kLiveChannel},
                                           RtspCase{"RTPoverRTSP", kRemoteChannel}),
                         [](const auto& info) {
                             return std::string(info.param.rtpMode) + "_video" + std::to_string(info.param.kind + 1);
                         });

class RtspChannelUdpTest : public RtspChannelTest {};

TEST_P(RtspChannelUdpTest, CameraByeStartsANewSession) {
    auto channel = StartStreaming(kRecordingChannel);
    ASSERT_EQ(channel->GetState(), uint32_t(kChannelStreaming));
    m_server->SendBye();
    ASSERT_TRUE(WaitUntil([&] { return CountRequests(m_server->RequestLog(), "PLAY") >= 2; }, 5000ms));
    channel->Stop();
}

INSTANTIATE_TEST_SUITE_P(Udp, RtspChannelUdpTest, ::testing::Values(RtspCase{"RTPoverUDP", kRecordingChannel}),
                         [](const auto& info) { return std::string(info.param.rtpMode); });

// Suspend ends the session (TEARDOWN, or the closed connection when interleaved); resume starts a new one.
class RtspChannelSuspendTest : public RtspChannelTest {};

TEST_P(RtspChannelSuspendTest, SuspendEndsTheSessionAndResumeStartsANewOne) {
    auto channel = StartStreaming(kRecordingChannel);
    ASSERT_EQ(channel->GetState(), uint32_t(kChannelStreaming));
    ASSERT_TRUE(channel->Suspend());
    ASSERT_TRUE(WaitUntil([&] { return m_server->ActiveSessionCount() == 0; }, 5000ms));
    const size_t frames = sink.FrameCount();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(sink.FrameCount(), frames);
    ASSERT_TRUE(channel->Resume());
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() > frames + 3; }, 10000ms));
    EXPECT_EQ(CountRequests(m_server->RequestLog(), "DESCRIBE"), 2u);
    EXPECT_EQ(channel->GetState(), uint32_t(kChannelStreaming));
    EXPECT_TRUE(sink.SignalLostTimes().empty());
    ExpectPromptStop(*channel);
}

INSTANTIATE_TEST_SUITE_P(Transports, RtspChannelSuspendTest,
                         ::testing::Values(RtspCase{"RTPoverUDP", kRecordingChannel},
                                           RtspCase{"RTPoverTCP", kRecordingChannel},
                                           RtspCase{"RTPoverRTSP", kRecordingChannel}),
                         [](const auto& info) { return std::string(info.param.rtpMode); });

// --- Channels that configure the camera and start their stream over HTTP.

// The camera serves its motion JPEG and HTTP-started RTP routes.
class HttpChannelTest : public ::testing::Test {
protected:
    FakeDriver driver{"127.0.0.1", 80, "admin", "admin"};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
    CamsimCamera m_rig; // declared last: stopped before the sink and driver go
};

TEST_F(HttpChannelTest, HttpStartedH264SendsOnlyChangedOptionsAndDeliversFrames) {
    ASSERT_NO_FATAL_FAILURE(m_rig.Start("SNC-RH124", driver, allocator, {.media = true}));
    CH264ChannelRTP channel(0, &driver, &sink);
    ChannelStartParameters parameters;
    parameters.width = 640;
    parameters.height = 480;
    ASSERT_TRUE(channel.Start(parameters));
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 5; }, 10000ms));
    EXPECT_EQ(sink.Types().front(), kTypeH264KeyFrame);
    EXPECT_EQ(allocator.LastName(), "Sony::CH264ChannelRTP");
    // The size the channel set, read from the stream's sequence parameter set.
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{640, 480}));
    const std::vector<std::string> commands = m_rig.camera->State().CommandLog();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], "system.cgi?VideoOutMode=ip");
    EXPECT_EQ(commands[1], "camera.cgi?H264ImageSize=640&LightFunnelMode=auto");
    ExpectPromptStop(channel);
}

TEST_F(HttpChannelTest, MotionJpegOverHttpDeliversEveryPicture) {
    ASSERT_NO_FATAL_FAILURE(m_rig.Start("SNC-VB770", driver, allocator, {.media = true}));
    CMJPEGChannelHTTP channel(0, &driver, &sink);
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 6; }, 10000ms));
    for (uint32_t type : sink.Types())
        EXPECT_EQ(type, kTypeJpeg);
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{640, 480}));
    // A stream that keeps flowing is kept past the first time-out.
    const size_t frames = sink.FrameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(driver.m_device.firstTimeoutMs + 500));
    EXPECT_GT(sink.FrameCount(), frames + 10);
    EXPECT_EQ(m_rig.media->StreamStarts(), 1u);
    EXPECT_EQ(channel.GetState(), uint32_t(kChannelStreaming));
    ExpectPromptStop(channel);
}

} // namespace
} // namespace talvex

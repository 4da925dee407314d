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

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

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
        m_manager = new RtspPortManager(m_server->GetPort());
    }
    void TearDown() override { m_server->Stop(); }

    std::unique_ptr<CCommonRTSPChannel> MakeChannel(uint32_t kind) {
        TSmartPtr<IVideoSettingsManager> manager(m_manager);
        switch (kind) {
        case kRecordingChannel:
            return std::make_unique<CH264ChannelRTSP>(0, &driver, &sink, manager);
        case kLiveChannel:
            return std::make_unique<CMPEG4ChannelRTSP>(0, &driver, &sink, manager);
        default:
            return std::make_unique<CMJPEGChannelRTSP>(0, &driver, &sink, manager);
        }
    }
    static ChannelStartParameters Parameters(uint32_t kind) {
        ChannelStartParameters parameters;
        parameters.firstValue = 100;
        parameters.width = 320;
        parameters.height = 240;
        parameters.kind = kind;
        return parameters;
    }
    static uint32_t KeyFrameType(uint32_t kind) {
        return kind == kRecordingChannel ? kTypeH264KeyFrame : kind == kLiveChannel ? kTypeMpeg4KeyFrame : kTypeJpeg;
    }

    HostDirectory m_host{GetParam().rtpMode};
    std::unique_ptr<camsim::RtspServer> m_server;
    RtspPortManager* m_manager = nullptr; // owned by the channel's reference
    FakeDriver driver{"127.0.0.1", 80};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
};

TEST_P(RtspChannelTest, DeliversFramesAndStopsPromptly) {
    const uint32_t kind = GetParam().kind;
    auto channel = MakeChannel(kind);
    ASSERT_TRUE(channel->Start(Parameters(kind)));
    ASSERT_TRUE(WaitUntil([&] { return sink.FrameCount() >= 5; }, 10000ms));
    EXPECT_EQ(channel->GetState(), uint32_t(kChannelStreaming));
    EXPECT_EQ(sink.Types().front(), KeyFrameType(kind));
    EXPECT_EQ(m_manager->lastCodec.load(), channel->GetCodecType());
    EXPECT_EQ(m_manager->lastStream.load(), int32_t(kind));
    const std::string path = "rtsp://127.0.0.1:" + std::to_string(m_server->GetPort()) + "/video" +
                             std::to_string(kind + 1);
    EXPECT_EQ(CountRequests(m_server->RequestLog(), "DESCRIBE " + path), 1u);
    EXPECT_EQ(CountLines(driver, "is online"), 1u);

    const auto stopStart = std::chrono::steady_clock::now();
    channel->Stop();
    EXPECT_LT(MsSince(stopStart), 2000);
    EXPECT_EQ(channel->GetState(), uint32_t(kChannelStopped));
    EXPECT_EQ(allocator.LiveFrames(), 0u);
    // Interleaved: the closed connection ends the session.
    if (std::string(GetParam().rtpMode) != "RTPoverRTSP") {
        EXPECT_TRUE(WaitUntil([&] { return CountRequests(m_server->RequestLog(), "TEARDOWN") == 1; }, 2000ms));
    }
}

TEST_P(RtspChannelTest, LostSignalIsReportedAndTheStreamComesBack) {
    const uint32_t kind = GetParam().kind;
    auto channel = MakeChannel(kind);
    ASSERT_TRUE(channel->Start(Parameters(kind)));
    ASSERT_TRUE(WaitUntil([&] { return channel->GetState() == kChannelStreaming; }, 10000ms));
    m_server->Faults().stopSending = true;
    ASSERT_TRUE(WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, 10000ms));
    EXPECT_EQ(CountLines(driver, "Signal was lost for camera 127.0.0.1"), 1u);
    m_server->Faults().stopSending = false;
    ASSERT_TRUE(WaitUntil([&] { return CountLines(driver, "is online") == 2; }, 10000ms));
    // The packet path announces the frame; the worker sets the state on its next pass.
    EXPECT_TRUE(WaitUntil([&] { return channel->GetState() == kChannelStreaming; }, 2000ms));
    channel->Stop();
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
    auto channel = MakeChannel(kRecordingChannel);
    ASSERT_TRUE(channel->Start(Parameters(kRecordingChannel)));
    ASSERT_TRUE(WaitUntil([&] { return channel->GetState() == kChannelStreaming; }, 10000ms));
    m_server->SendBye();
    ASSERT_TRUE(WaitUntil([&] { return CountRequests(m_server->RequestLog(), "PLAY") >= 2; }, 5000ms));
    channel->Stop();
}

INSTANTIATE_TEST_SUITE_P(Udp, RtspChannelUdpTest, ::testing::Values(RtspCase{"RTPoverUDP", kRecordingChannel}));

// Suspend ends the session (TEARDOWN, or the closed connection when interleaved); resume starts a new one.
class RtspChannelSuspendTest : public RtspChannelTest {};

TEST_P(RtspChannelSuspendTest, SuspendEndsTheSessionAndResumeStartsANewOne) {
    auto channel = MakeChannel(kRecordingChannel);
    ASSERT_TRUE(channel->Start(Parameters(kRecordingChannel)));
    ASSERT_TRUE(WaitUntil([&] { return channel->GetState() == kChannelStreaming; }, 10000ms));
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
    const auto stopStart = std::chrono::steady_clock::now();
    channel->Stop();
    EXPECT_LT(MsSince(stopStart), 2000);
}

INSTANTIATE_TEST_SUITE_P(Transports, RtspChannelSuspendTest,
                         ::testing::Values(RtspCase{"RTPoverUDP", kRecordingChannel},
                                           RtspCase{"RTPoverTCP", kRecordingChannel},
                                           RtspCase{"RTPoverRTSP", kRecordingChannel}),
                         [](const auto& info) { return std::string(info.param.rtpMode); });

TEST_P(RtspChannelUdpTest, RefusedCredentialsAreRetriedOncePerSecond) {
    m_server->Faults().answer401 = true;
    auto channel = MakeChannel(kRecordingChannel);
    ASSERT_TRUE(channel->Start(Parameters(kRecordingChannel)));
    std::this_thread::sleep_for(3200ms);
    const size_t describes = CountRequests(m_server->RequestLog(), "DESCRIBE");
    // One attempt per second, each with at most one authorisation retry.
    EXPECT_GE(describes, 2u);
    EXPECT_LE(describes, 8u);
    EXPECT_EQ(CountRequests(m_server->RequestLog(), "SETUP"), 0u);
    EXPECT_EQ(CountLines(driver, "is online"), 0u);
    channel->Stop();
}

TEST(RtspChannelNoCameraTest, StopDuringConnectAttemptsIsPrompt) {
    HostDirectory host("RTPoverUDP");
    FakeDriver driver("127.0.0.1", 80);
    driver.m_hostDirectory = host.Path();
    driver.m_device.generation = 6;
    FakeChannelSink sink;
    // A port nobody listens on: every connect is refused.
    CH264ChannelRTSP channel(0, &driver, &sink, PortOnly(1));
    ASSERT_TRUE(channel.Start({}));
    std::this_thread::sleep_for(1500ms);
    const auto stopStart = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(MsSince(stopStart), 2000);
    EXPECT_EQ(CountLines(driver, "is online"), 0u);
}

// --- Channels that configure the camera and start their stream over HTTP.

class HttpChannelTest : public ::testing::Test {
protected:
    // With media, the camera serves its motion JPEG and HTTP-started RTP routes.
    void StartCamera(const std::string& model, bool media = false) {
        ASSERT_NO_FATAL_FAILURE(m_rig.Start(model, driver, allocator, {.media = media}));
        m_camera = m_rig.camera.get();
        m_media = m_rig.media;
    }

    FakeDriver driver{"127.0.0.1", 80, "admin", "admin"};
    LockedFrameAllocator allocator;
    FakeChannelSink sink;
    std::atomic<int> m_streamStarts{0};
    CamsimCamera m_rig; // declared last: stopped before the sink and driver go
    camsim::Camera* m_camera = nullptr;
    camsim::HttpMedia* m_media = nullptr;
};

TEST_F(HttpChannelTest, HttpStartedH264SendsOnlyChangedOptionsAndDeliversFrames) {
    StartCamera("SNC-RH124", true);
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
    const std::vector<std::string> commands = m_camera->State().CommandLog();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], "system.cgi?VideoOutMode=ip");
    EXPECT_EQ(commands[1], "camera.cgi?H264ImageSize=640&LightFunnelMode=auto");
    const auto stopStart = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(MsSince(stopStart), 2000);
}

TEST_F(HttpChannelTest, MotionJpegStreamThatEndsIsOpenedAgain) {
    StartCamera("SNC-CH210");
    const std::string picture = [] {
        std::ifstream file(std::string(FENNWICK_TEST_DATA_DIR) + "/video/mjpeg_64x48_multipart.bin", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }();
    m_camera->Http().AddRoute("/mjpeg", [this, picture](camsim::HttpExchange& exchange) {
        ++m_streamStarts;
        exchange.SendHead(200, {{"Content-Type", "multipart/x-mixed-replace; boundary=--myboundary"}});
        exchange.SendBytes(picture); // then the camera closes the stream
    });
    CMJPEGChannelHTTP channel(0, &driver, &sink);
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(WaitUntil([&] { return m_streamStarts >= 3; }, 10000ms));
    EXPECT_GE(sink.FrameCount(), 4u);
    channel.Stop();
}

TEST_F(HttpChannelTest, MotionJpegOverHttpDeliversEveryPicture) {
    StartCamera("SNC-VB770", true);
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
    EXPECT_EQ(m_media->StreamStarts(), 1u);
    size_t streamRequests = 0;
    for (const camsim::RequestRecord& request : m_camera->Http().Requests())
        streamRequests += request.target == "/image1" && request.status == 200 ? 1 : 0;
    EXPECT_EQ(streamRequests, 1u);
    EXPECT_EQ(channel.GetState(), uint32_t(kChannelStreaming));
    const auto stopStart = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(MsSince(stopStart), 2000);
}

} // namespace
} // namespace talvex

// The RTSP client, RTP reception and RTCP against the simulated camera on
// loopback: transports, authentication, keep-alive and the camera's faults.
#include "streaming/CBaseRTSPClient.h"

#include <gtest/gtest.h>

#include "RtspServer.h"
#include "support/RtpPacketRecorder.h"

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;

// Video packets only (camsim's audio is payload type 0).
class PacketLog : public test::RtpPacketRecorder {
public:
    PacketLog() {
        keep = [](const sockaddr_in&, const CRTPPacket& packet) { return packet.GetPayloadType() != 0; };
    }
};

class CamsimStreaming : public ::testing::Test {
protected:
    void StartCamera(camsim::RtspServerOptions options = {}) {
        m_camera = std::make_unique<camsim::RtspServer>(options);
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    void TearDown() override {
        if (m_camera)
            m_camera->Stop();
    }
    RTSPSessionParams Params(const std::string& path = "/video1") const {
        RTSPSessionParams params;
        params.host = "127.0.0.1";
        params.port = m_camera->GetPort();
        params.path = path;
        params.user = "admin";
        params.password = "admin";
        params.receiveTimeoutMs = 3000;
        return params;
    }
    // Opens receiver and RTCP handler on free ports and runs DESCRIBE, SETUP, PLAY over UDP.
    bool PlayOverUdp(CBaseRTSPClient& client, RTSPSessionParams params) {
        m_receiver.SetUser(&m_log);
        m_rtcpHandler.SetUser(&m_log);
        if (!m_receiver.Open(0) || !m_rtcpHandler.Open(htonl(INADDR_LOOPBACK), 0))
            return false;
        params.rtpPort = m_receiver.GetLocalPort();
        params.rtcpPort = m_rtcpHandler.GetLocalPort();
        return client.Connect(params, nullptr, RTSP_TRANSPORT_UDP) && client.SendRequest(RTSP_DESCRIBE) &&
               client.SendRequest(RTSP_SETUP) && client.SendRequest(RTSP_PLAY) && client.GetStatusCode() == 200;
    }

    std::unique_ptr<camsim::RtspServer> m_camera;
    // Declared before the receiver and the RTCP handler, which call it until they close.
    PacketLog m_log;
    CRTPReceiver m_receiver;
    CRTCPHandler m_rtcpHandler;
};

TEST_F(CamsimStreaming, DigestUdpSessionStreamsAndTearsDown) {
    camsim::RtspServerOptions options;
    options.auth = camsim::AuthMode::Digest;
    StartCamera(options);
    CBaseRTSPClient client;
    PacketLog& log = m_log;
    ASSERT_TRUE(PlayOverUdp(client, Params()));
    EXPECT_EQ(client.GetMediaRecord(SDP_MEDIA_VIDEO).encoding, "H264/90000");
    EXPECT_EQ(client.GetMediaRecord(SDP_MEDIA_AUDIO).encoding, "PCMU/8000");
    ASSERT_TRUE(log.WaitForPackets(20));
    const auto sequences = log.Sequences();
    for (size_t i = 1; i < sequences.size(); ++i)
        ASSERT_EQ(uint16_t(sequences[i - 1] + 1), sequences[i]);
    EXPECT_EQ(m_camera->ActiveSessionCount(), 1u);
    EXPECT_TRUE(client.SendRequest(RTSP_GET_PARAMETER));
    EXPECT_TRUE(client.SendRequest(RTSP_TEARDOWN));
    EXPECT_EQ(m_camera->ActiveSessionCount(), 0u);
}

TEST_F(CamsimStreaming, PauseStopsTheMediaAndPlayResumesIt) {
    StartCamera();
    CBaseRTSPClient client;
    ASSERT_TRUE(PlayOverUdp(client, Params()));
    ASSERT_TRUE(m_log.WaitForPackets(5));
    ASSERT_TRUE(client.SendRequest(RTSP_PAUSE));
    std::this_thread::sleep_for(200ms); // packets already under way arrive
    const size_t paused = m_log.Sequences().size();
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(m_log.Sequences().size(), paused);
    ASSERT_TRUE(client.SendRequest(RTSP_PLAY));
    EXPECT_TRUE(m_log.WaitForPackets(paused + 5));
}

TEST_F(CamsimStreaming, CameraByeAfterSenderReportReachesTheUser) {
    StartCamera();
    CBaseRTSPClient client;
    PacketLog& log = m_log;
    ASSERT_TRUE(PlayOverUdp(client, Params()));
    ASSERT_TRUE(log.WaitForPackets(5));
    std::this_thread::sleep_for(500ms); // the first sender report comes 200 ms after PLAY
    m_camera->SendBye();
    EXPECT_TRUE(log.WaitFor([&] { return log.byes > 0; }));
}

TEST_F(CamsimStreaming, StoppedMediaGivesReceiveTimeouts) {
    StartCamera();
    CBaseRTSPClient client;
    PacketLog& log = m_log;
    ASSERT_TRUE(PlayOverUdp(client, Params()));
    ASSERT_TRUE(log.WaitForPackets(3));
    m_camera->Faults().stopSending = true;
    EXPECT_TRUE(log.WaitFor([&] { return log.timeouts > 0; }, 6000ms));
}

TEST_F(CamsimStreaming, LostAndReorderedPacketsShowInSequenceNumbers) {
    StartCamera();
    m_camera->Faults().loseEveryNth = 4;
    m_camera->Faults().reorder = true;
    CBaseRTSPClient client;
    PacketLog& log = m_log;
    ASSERT_TRUE(PlayOverUdp(client, Params()));
    ASSERT_TRUE(log.WaitForPackets(30));
    const auto sequences = log.Sequences();
    bool gap = false;
    bool backwards = false;
    for (size_t i = 1; i < sequences.size(); ++i) {
        const int16_t step = int16_t(sequences[i] - sequences[i - 1]);
        gap = gap || step > 1;
        backwards = backwards || step < 0;
    }
    EXPECT_TRUE(gap);
    EXPECT_TRUE(backwards);
}

// Keeps the session alive from the packet path, as an interleaved channel does.
class InterleavedChannel : public PacketLog {
public:
    explicit InterleavedChannel(CBaseRTSPClient& client) : m_client(client) {}
    void OnPacket(size_t count) override {
        if (count % 20 == 0)
            keepAlives += m_client.SendRequest(RTSP_GET_PARAMETER) && m_client.GetStatusCode() == 200 ? 1 : 0;
        if (count == 100)
            m_client.Disconnect();
    }
    std::atomic<int> keepAlives{0};

private:
    CBaseRTSPClient& m_client;
};

TEST_F(CamsimStreaming, InterleavedKeepAlivesLoseNoPacket) {
    camsim::RtspServerOptions options;
    options.auth = camsim::AuthMode::Basic;
    options.codecs[0] = camsim::VideoCodec::Jpeg; // large frames: many packets between answers
    StartCamera(options);
    CBaseRTSPClient client;
    InterleavedChannel channel(client);
    ASSERT_TRUE(client.Connect(Params(), &channel, RTSP_TRANSPORT_INTERLEAVED));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_FALSE(client.SendRequest(RTSP_PLAY)); // ended by the channel's Disconnect
    EXPECT_EQ(channel.keepAlives, 5);
    const auto sequences = channel.Sequences();
    ASSERT_GE(sequences.size(), 100u);
    for (size_t i = 1; i < sequences.size(); ++i)
        ASSERT_EQ(uint16_t(sequences[i - 1] + 1), sequences[i]) << "at " << i;
}

TEST_F(CamsimStreaming, DroppedConnectionEndsTheInterleavedReader) {
    StartCamera();
    CBaseRTSPClient client;
    PacketLog log;
    ASSERT_TRUE(client.Connect(Params(), &log, RTSP_TRANSPORT_INTERLEAVED));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    m_camera->DropConnections(1000);
    EXPECT_TRUE(client.SendRequest(RTSP_PLAY)); // the connection ended
    EXPECT_GT(log.Sequences().size(), 0u);
}

TEST_F(CamsimStreaming, ChallengeOnEveryRequestIsRetriedOnce) {
    camsim::RtspServerOptions options;
    options.auth = camsim::AuthMode::Digest;
    StartCamera(options);
    m_camera->Faults().answer401 = true;
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(Params(), nullptr, RTSP_TRANSPORT_UDP));
    EXPECT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetStatusCode(), 401u);
    EXPECT_EQ(m_camera->RequestLog().size(), 2u);
}

TEST_F(CamsimStreaming, UnknownSessionIs454) {
    StartCamera();
    CBaseRTSPClient client;
    RTSPSessionParams params = Params();
    params.rtpPort = 40000;
    params.rtcpPort = 40001;
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_TCP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    m_camera->Faults().answer454 = true;
    EXPECT_FALSE(client.SendRequest(RTSP_PLAY));
    EXPECT_EQ(client.GetStatusCode(), 454u);
}

TEST_F(CamsimStreaming, PathsFollowTheGeneration) {
    camsim::RtspServerOptions options;
    options.generation = 5;
    StartCamera(options);
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(Params("/video1"), nullptr, RTSP_TRANSPORT_UDP));
    EXPECT_FALSE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetStatusCode(), 404u);
    client.Disconnect();
    ASSERT_TRUE(client.Connect(Params("/media/video2"), nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetMediaRecord(SDP_MEDIA_VIDEO).encoding, "MP4V-ES/90000");
    std::vector<uint8_t> sps, pps, config;
    client.GetParameterSets(sps, pps, config);
    ASSERT_GE(config.size(), 4u);
    EXPECT_EQ(config[3], 0xB0); // visual object sequence start code
}

TEST_F(CamsimStreaming, SessionWithoutKeepAliveExpires) {
    camsim::RtspServerOptions options;
    options.sessionTimeoutSeconds = 1;
    StartCamera(options);
    CBaseRTSPClient client;
    RTSPSessionParams params = Params();
    params.rtpPort = 40002;
    params.rtcpPort = 40003;
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_EQ(client.GetKeepAliveIntervalMs(), 1000u);
    std::this_thread::sleep_for(1500ms);
    EXPECT_FALSE(client.SendRequest(RTSP_GET_PARAMETER));
    EXPECT_EQ(client.GetStatusCode(), 454u);
}

// The RTSP side wired to a whole simulated camera: its generation, credentials,
// authentication and stream codecs come from the camera's state.
TEST(CamsimCameraStreaming, StreamsFollowTheCameraState) {
    camsim::CameraOptions cameraOptions;
    cameraOptions.model = "SNC-CH210"; // generation 5: /media/video1 h264, video2 jpeg, video3 off
    cameraOptions.auth = camsim::AuthMode::Digest;
    camsim::Camera camera(cameraOptions);
    auto rtsp = std::make_unique<camsim::RtspServer>(camsim::RtspServerOptions{}, &camera);
    camsim::RtspServer& server = *rtsp;
    camera.AddServer(std::move(rtsp));
    std::string error;
    ASSERT_TRUE(camera.Start(error)) << error;
    EXPECT_EQ(camera.State().Value("RTSPPort"), std::to_string(server.GetPort()));

    RTSPSessionParams params;
    params.host = "127.0.0.1";
    params.port = server.GetPort();
    params.user = "admin";
    params.password = "admin";
    const std::pair<const char*, const char*> expected[] = {
        {"/media/video1", "H264/90000"}, {"/media/video2", "JPEG/90000"}, {"/media/video3", ""}};
    for (const auto& [path, encoding] : expected) {
        CBaseRTSPClient client;
        params.path = path;
        ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
        EXPECT_EQ(client.SendRequest(RTSP_DESCRIBE), *encoding != '\0') << path;
        EXPECT_EQ(client.GetMediaRecord(SDP_MEDIA_VIDEO).encoding, encoding) << path;
    }
    CBaseRTSPClient client;
    params.path = "/media/video1";
    params.rtpPort = 40004;
    params.rtcpPort = 40005;
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_EQ(client.GetKeepAliveIntervalMs(), 30000u); // the camera's RTSPTimeout
    camera.Stop();
}

} // namespace
} // namespace talvex

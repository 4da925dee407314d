// The RTSP client and RTP reception against GStreamer's gst-rtsp-server, an
// independent implementation, serving H.264 with Basic authentication.
#include "streaming/CBaseRTSPClient.h"

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/RtpPacketRecorder.h"
#include "streaming/RTPPortPair.h"

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;

class GstRtspServer : public ::testing::Test {
protected:
    virtual bool UsesDigest() const { return false; }

    void SetUp() override {
        std::vector<std::string> arguments{"/usr/bin/python3", GST_RTSP_SERVER_SCRIPT, "--user", "admin",
                                           "--password", "secret"};
        if (UsesDigest())
            arguments.push_back("--digest");
        m_server = std::make_unique<test::ChildProcess>(arguments);
        ASSERT_TRUE(m_server->Started());
        for (int line = 0; line < 20 && m_port == 0; ++line) {
            const auto text = m_server->ReadLine(15s);
            ASSERT_TRUE(text) << "gst-rtsp-server did not start";
            if (text->starts_with("READY "))
                m_port = uint16_t(std::stoul(text->substr(6)));
        }
    }

    RTSPSessionParams Params() const {
        RTSPSessionParams params;
        params.host = "127.0.0.1";
        params.port = m_port;
        params.path = "/test";
        params.user = "admin";
        params.password = "secret";
        params.receiveTimeoutMs = 5000;
        return params;
    }

    std::unique_ptr<test::ChildProcess> m_server;
    uint16_t m_port = 0;
};

// Counts the video packets the server sent from loopback.
class CountingUser : public test::RtpPacketRecorder {
public:
    CountingUser() {
        keep = [](const sockaddr_in& from, const CRTPPacket& packet) {
            return from.sin_addr.s_addr == htonl(INADDR_LOOPBACK) && packet.GetPayloadType() == 96;
        };
    }
};

// The RTP and RTCP ports of a UDP session on a free pair, counting the video packets.
struct UdpReceiver {
    bool Open() {
        receiver.SetUser(&user);
        return OpenRTPPortPair(receiver, rtcpHandler, htonl(INADDR_LOOPBACK), stop, portBusy);
    }
    CountingUser user; // declared first: the receiver calls it until it closes
    CRTPReceiver receiver;
    CRTCPHandler rtcpHandler;
    CManualEvent stop;
    CManualEvent portBusy;
};

class GstRtspDigestServer : public GstRtspServer {
protected:
    bool UsesDigest() const override { return true; }
};

TEST_F(GstRtspServer, BasicChallengeThenUdpStream) {
    UdpReceiver udp;
    ASSERT_TRUE(udp.Open());
    RTSPSessionParams params = Params();
    params.rtpPort = udp.receiver.GetLocalPort();
    params.rtcpPort = udp.rtcpHandler.GetLocalPort();
    CountingUser& user = udp.user;

    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE)); // 401 Basic, then with credentials
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_EQ(client.GetMediaRecord(SDP_MEDIA_VIDEO).encoding, "H264/90000");
    std::vector<uint8_t> sps, pps, config;
    client.GetParameterSets(sps, pps, config);
    ASSERT_FALSE(sps.empty());
    EXPECT_EQ(sps[0] & 0x1F, 7);

    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_FALSE(client.GetSessionId().empty());
    ASSERT_TRUE(client.SendRequest(RTSP_PLAY));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_TRUE(user.WaitForPackets(10));
    EXPECT_TRUE(client.SendRequest(RTSP_GET_PARAMETER));
    EXPECT_TRUE(client.SendRequest(RTSP_TEARDOWN));
    EXPECT_EQ(client.GetStatusCode(), 200u);
}

// Sends a keep-alive from the packet path, then ends the stream after enough packets.
class InterleavedUser : public CountingUser {
public:
    explicit InterleavedUser(CBaseRTSPClient& client) : m_client(client) {}
    void OnPacket(size_t packets) override {
        if (packets == 5)
            keepAliveAnswered = m_client.SendRequest(RTSP_GET_PARAMETER) && m_client.GetStatusCode() == 200;
        if (packets == 30)
            m_client.Disconnect();
    }
    bool keepAliveAnswered = false;

private:
    CBaseRTSPClient& m_client;
};

TEST_F(GstRtspServer, InterleavedStreamWithKeepAliveFromThePacketPath) {
    CBaseRTSPClient client;
    InterleavedUser user(client);
    RTSPSessionParams params = Params();
    params.authScheme = RTSP_AUTH_BASIC;
    ASSERT_TRUE(client.Connect(params, &user, RTSP_TRANSPORT_INTERLEAVED));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_FALSE(client.SendRequest(RTSP_PLAY)); // ends with the user's Disconnect
    EXPECT_GE(user.Packets(), 30u);
    EXPECT_TRUE(user.keepAliveAnswered);
}

TEST_F(GstRtspDigestServer, DigestAnswersEveryRequestOfAUdpSession) {
    UdpReceiver udp;
    ASSERT_TRUE(udp.Open());
    RTSPSessionParams params = Params();
    params.rtpPort = udp.receiver.GetLocalPort();
    params.rtcpPort = udp.rtcpHandler.GetLocalPort();
    CountingUser& user = udp.user;

    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_EQ(client.GetResponseParser().GetOfferedAuthScheme(), RTSP_AUTH_DIGEST);
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    ASSERT_TRUE(client.SendRequest(RTSP_PLAY));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_TRUE(user.WaitForPackets(10));
    EXPECT_TRUE(client.SendRequest(RTSP_TEARDOWN));
    EXPECT_EQ(client.GetStatusCode(), 200u);
}

} // namespace
} // namespace talvex

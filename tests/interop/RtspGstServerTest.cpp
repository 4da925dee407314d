// The RTSP client and RTP reception against GStreamer's gst-rtsp-server, an
// independent implementation serving H.264 with Basic or Digest authentication,
// over UDP and interleaved in the RTSP connection.
#include "streaming/CBaseRTSPClient.h"

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/RtpPacketRecorder.h"
#include "streaming/RTPPortPair.h"

#include <arpa/inet.h>

#include <chrono>
#include <ostream>

namespace talvex {
namespace {

using namespace std::chrono_literals;

struct SessionCase {
    const char* name;
    bool digest;
    uint32_t transport;
};

void PrintTo(const SessionCase& value, std::ostream* out) { *out << value.name; }

// Records the server's video packets; on an interleaved session it sends a
// keep-alive from the packet path and ends the stream after enough packets.
class SessionUser : public test::RtpPacketRecorder {
public:
    explicit SessionUser(CBaseRTSPClient& client) : m_client(client) {
        keep = [](const sockaddr_in& from, const CRTPPacket& packet) {
            return from.sin_addr.s_addr == htonl(INADDR_LOOPBACK) && packet.GetPayloadType() == 96;
        };
    }
    void OnPacket(size_t packets) override {
        if (!interleaved)
            return;
        if (packets == 5)
            keepAliveAnswered = m_client.SendRequest(RTSP_GET_PARAMETER) && m_client.GetStatusCode() == 200;
        if (packets == 30)
            m_client.Disconnect();
    }
    bool interleaved = false;
    bool keepAliveAnswered = false;

private:
    CBaseRTSPClient& m_client;
};

class GstRtspServer : public ::testing::TestWithParam<SessionCase> {};

TEST_P(GstRtspServer, SessionStreamsWithKeepAliveAndTeardown) {
    std::vector<std::string> arguments{"/usr/bin/python3", GST_RTSP_SERVER_SCRIPT, "--user", "admin",
                                       "--password", "secret"};
    if (GetParam().digest)
        arguments.push_back("--digest");
    test::ChildProcess server(arguments);
    ASSERT_TRUE(server.Started());
    uint16_t port = 0;
    for (int line = 0; line < 20 && port == 0; ++line) {
        const auto text = server.ReadLine(15s);
        ASSERT_TRUE(text) << "gst-rtsp-server did not start";
        if (text->starts_with("READY "))
            port = uint16_t(std::stoul(text->substr(6)));
    }

    CBaseRTSPClient client;
    SessionUser user(client); // declared before the receiver: it calls the user until it closes
    user.interleaved = GetParam().transport == RTSP_TRANSPORT_INTERLEAVED;
    CRTPReceiver receiver;
    CRTCPHandler rtcpHandler;
    CManualEvent stop, portBusy;
    RTSPSessionParams params;
    params.host = "127.0.0.1";
    params.port = port;
    params.path = "/test";
    params.user = "admin";
    params.password = "secret";
    params.receiveTimeoutMs = 5000;
    if (!user.interleaved) {
        receiver.SetUser(&user);
        ASSERT_TRUE(OpenRTPPortPair(receiver, rtcpHandler, htonl(INADDR_LOOPBACK), stop, portBusy));
        params.rtpPort = receiver.GetLocalPort();
        params.rtcpPort = rtcpHandler.GetLocalPort();
    }
    ASSERT_TRUE(client.Connect(params, user.interleaved ? &user : nullptr, GetParam().transport));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE)); // 401, then with credentials
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_EQ(client.GetResponseParser().GetOfferedAuthScheme(), GetParam().digest ? RTSP_AUTH_DIGEST : RTSP_AUTH_BASIC);
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    if (user.interleaved) {
        EXPECT_FALSE(client.SendRequest(RTSP_PLAY)); // ends with the user's Disconnect
        EXPECT_GE(user.Packets(), 30u);
        EXPECT_TRUE(user.keepAliveAnswered);
        return;
    }
    ASSERT_TRUE(client.SendRequest(RTSP_PLAY));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_TRUE(user.WaitForPackets(10));
    EXPECT_TRUE(client.SendRequest(RTSP_GET_PARAMETER));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    EXPECT_TRUE(client.SendRequest(RTSP_TEARDOWN));
    EXPECT_EQ(client.GetStatusCode(), 200u);
}

INSTANTIATE_TEST_SUITE_P(Sessions, GstRtspServer,
                         ::testing::Values(SessionCase{"BasicInterleaved", false, RTSP_TRANSPORT_INTERLEAVED},
                                           SessionCase{"DigestUdp", true, RTSP_TRANSPORT_UDP}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

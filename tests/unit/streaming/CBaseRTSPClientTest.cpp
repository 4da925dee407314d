#include "streaming/CBaseRTSPClient.h"

#include <gtest/gtest.h>

#include "ScriptedRtspServer.h"
#include "common/Base64.h"
#include "common/Md5.h"
#include "support/RtpPacketRecorder.h"

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace talvex {
namespace {

using test::CSeqOf;
using test::ScriptedRtspServer;

const std::string kDescription = "v=0\r\nm=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:trackID=1\r\n"
                                 "a=fmtp:96 packetization-mode=1;sprop-parameter-sets=Z0IAHpWoKA9k,aM48gA==\r\n";

std::string Ok(const std::string& cseq, const std::string& headers = "", const std::string& body = "") {
    std::string answer = "RTSP/1.0 200 OK\r\nCSeq: " + cseq + "\r\n" + headers;
    if (!body.empty())
        answer += "Content-Type: application/sdp\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    return answer + "\r\n" + body;
}

std::string DescribeAnswer(const std::string& cseq, const std::string& contentBase = "rtsp://cam/media/video1/",
                           const std::string& description = kDescription) {
    return Ok(cseq, contentBase.empty() ? "" : "Content-Base: " + contentBase + "\r\n", description);
}

// Answers DESCRIBE with the description and everything else with 200 and a session.
std::string PlainCamera(const std::string& request, size_t) {
    if (request.starts_with("DESCRIBE"))
        return DescribeAnswer(CSeqOf(request));
    return Ok(CSeqOf(request), "Session: 12345678;timeout=20\r\n");
}

class ExposedClient : public CBaseRTSPClient {
public:
    using CBaseRTSPClient::GetBaseUrl;
    using CBaseRTSPClient::GetControlUrl;
};

RTSPSessionParams LoopbackParams(uint16_t port) {
    RTSPSessionParams params;
    params.host = "127.0.0.1";
    params.port = port;
    params.path = "/media/video1";
    params.rtpPort = 5000;
    params.rtcpPort = 5001;
    params.user = "admin";
    params.password = "pw";
    params.connectTimeoutMs = 2000;
    params.receiveTimeoutMs = 2000;
    return params;
}

TEST(CBaseRTSPClient, RequestTextsAndCSeqFollowTheServer) {
    ScriptedRtspServer server([](const std::string& request, size_t index) {
        return index == 0 ? DescribeAnswer("7") : PlainCamera(request, index);
    });
    CBaseRTSPClient client;
    RTSPSessionParams params = LoopbackParams(server.GetPort());
    params.blocksize = 101;
    params.range = "clock=20261206T080000Z-";
    params.extraHeader1 = "Require: onvif-replay";
    params.extraHeader2 = "Rate-Control: no";
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    for (uint32_t kind : {RTSP_DESCRIBE, RTSP_SETUP, RTSP_PLAY, RTSP_GET_PARAMETER, RTSP_PAUSE, RTSP_TEARDOWN})
        ASSERT_TRUE(client.SendRequest(kind)) << kind;

    const std::string port = std::to_string(server.GetPort());
    const std::vector<std::string> expected{
        "DESCRIBE rtsp://127.0.0.1:" + port +
            "/media/video1 RTSP/1.0\r\nCSeq: 1\r\nUser-Agent: Talvex\r\nAccept: application/sdp\r\n\r\n",
        "SETUP rtsp://cam/media/video1/trackID=1 RTSP/1.0\r\nCSeq: 8\r\n"
        "Transport: RTP/AVP/UDP;unicast;client_port=5000-5001\r\nBlocksize: 101\r\nUser-Agent: Talvex\r\n\r\n",
        "PLAY rtsp://cam/media/video1/ RTSP/1.0\r\nCSeq: 9\r\nSession: 12345678\r\n"
        "Range: clock=20261206T080000Z-\r\nRequire: onvif-replay\r\nBlocksize: 101\r\nUser-Agent: Talvex\r\n\r\n",
        "GET_PARAMETER rtsp://cam/media/video1/ RTSP/1.0\r\nCSeq: 10\r\nSession: 12345678\r\n"
        "User-Agent: Talvex\r\n\r\n",
        "PAUSE rtsp://cam/media/video1/ RTSP/1.0\r\nCSeq: 11\r\nSession: 12345678\r\nRange: npt=0.000-\r\n"
        "User-Agent: Talvex\r\n\r\n",
        "TEARDOWN rtsp://cam/media/video1/ RTSP/1.0\r\nCSeq: 12\r\nSession: 12345678\r\nUser-Agent: Talvex\r\n\r\n",
    };
    EXPECT_EQ(server.GetRequests(), expected);
    EXPECT_EQ(client.GetKeepAliveIntervalMs(), 20000u);
    std::vector<uint8_t> first, second, config;
    client.GetParameterSets(first, second, config);
    EXPECT_EQ(second, (std::vector<uint8_t>{0x68, 0xCE, 0x3C, 0x80}));
    client.Disconnect();
    client.GetParameterSets(first, second, config);
    EXPECT_TRUE(first.empty() && second.empty() && config.empty());
}

// Also: TEARDOWN without a session sends nothing, and an unknown request is not built.
TEST(CBaseRTSPClient, SecondExtraHeaderOnlyWithoutTheFirstAndSmallBlocksizeOmitted) {
    ScriptedRtspServer server(PlainCamera);
    CBaseRTSPClient client;
    RTSPSessionParams params = LoopbackParams(server.GetPort());
    params.blocksize = 100;
    params.extraHeader2 = "Rate-Control: no";
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    EXPECT_FALSE(client.SendRequest(RTSP_TEARDOWN));
    EXPECT_FALSE(client.GetLastResult());
    EXPECT_TRUE(server.GetRequests().empty());
    EXPECT_TRUE(client.BuildRequest(7).empty());
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    ASSERT_TRUE(client.SendRequest(RTSP_PLAY));
    const auto requests = server.GetRequests();
    EXPECT_EQ(requests[1].find("Blocksize"), std::string::npos);
    EXPECT_NE(requests[2].find("Range: npt=0.000-\r\nRate-Control: no\r\nUser-Agent"), std::string::npos);
}

TEST(CBaseRTSPClient, BaseAndControlUrls) {
    std::string contentBase;
    std::string description;
    ScriptedRtspServer server([&](const std::string& request, size_t) {
        return DescribeAnswer(CSeqOf(request), contentBase, description);
    });
    ExposedClient client;
    RTSPSessionParams params = LoopbackParams(server.GetPort());
    params.host = "localhost";
    params.path = "//video1";
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    const std::string port = std::to_string(server.GetPort());
    EXPECT_EQ(client.GetBaseUrl(), "rtsp://localhost:" + port + "/video1");

    description = "m=video 0 RTP/AVP 26\r\na=control:rtsp://other/track\r\n";
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetControlUrl(), "rtsp://other/track");

    contentBase = "rtsp://cam/media/video1/";
    description = "m=video 0 RTP/AVP 26\r\na=control:/abs\r\n";
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetBaseUrl(), "rtsp://cam/media/video1/");
    EXPECT_EQ(client.GetControlUrl(), "rtsp://cam/media/video1/abs");

    description = "m=video 0 RTP/AVP 26\r\n";
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetControlUrl(), "rtsp://cam/media/video1/");
}

TEST(CBaseRTSPClient, TransportLineByMode) {
    struct Case {
        uint32_t mode;
        std::string protocol;
        std::string line;
    };
    const std::vector<Case> cases{
        {RTSP_TRANSPORT_INTERLEAVED, "RTP/AVP", "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n"},
        {RTSP_TRANSPORT_TCP, "RTP/AVP", "Transport: RTP/AVP/TCP;unicast;client_port=5000-5001\r\n"},
        {RTSP_TRANSPORT_UDP, "RTP/AVP/TCP", "Transport: RTP/AVP/TCP;unicast;client_port=5000-5001\r\n"},
    };
    for (const Case& c : cases) {
        ScriptedRtspServer server([&](const std::string& request, size_t) {
            return DescribeAnswer(CSeqOf(request), "rtsp://cam/", "m=video 0 " + c.protocol + " 26\r\n");
        });
        CBaseRTSPClient client;
        ASSERT_TRUE(client.Connect(LoopbackParams(server.GetPort()), nullptr, c.mode));
        ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
        EXPECT_NE(client.BuildRequest(RTSP_SETUP).find(c.line), std::string::npos) << c.line;
    }
}

constexpr const char* kDigest = "WWW-Authenticate: Digest realm=\"cam\", nonce=\"n0nce\"\r\n";
constexpr const char* kBasic = "WWW-Authenticate: Basic realm=\"basic realm\"\r\n";

std::string Unauthorized(const std::string& cseq, const std::string& challenges) {
    return "RTSP/1.0 401 Unauthorized\r\nCSeq: " + cseq + "\r\n" + challenges + "\r\n";
}

// One field of a request's "Authorization: Digest" line, empty when absent.
std::string DigestField(const std::string& request, const std::string& name) {
    std::smatch match;
    return std::regex_search(request, match, std::regex("[ ,]" + name + "=\"?([^\",\r]*)")) ? match[1].str() : "";
}

std::string DigestLine(const std::string& uri) {
    return "Authorization: Digest username=\"admin\", realm=\"cam\", nonce=\"n0nce\", uri=\"" + uri +
           "\", response=\"" + Md5Hex(Md5Hex("admin:cam:pw") + ":n0nce:" + Md5Hex("DESCRIBE:" + uri)) + "\"\r\n";
}

std::string BasicLine(const std::string&) {
    return "Authorization: Basic " + Base64Encode("admin:pw") + "\r\n";
}

// A 401 is answered once, with the scheme it offers whatever was configured;
// Digest wins when a camera offers Basic too (two headers, either order).
struct ChallengeCase {
    const char* name;
    uint32_t configured;
    std::string challenges;
    std::string (*authorization)(const std::string& uri);
};

void PrintTo(const ChallengeCase& value, std::ostream* out) { *out << value.name; }

class CBaseRTSPClientChallenge : public ::testing::TestWithParam<ChallengeCase> {};

TEST_P(CBaseRTSPClientChallenge, IsAnsweredOnceWithTheOfferedScheme) {
    ScriptedRtspServer server([challenges = GetParam().challenges](const std::string& request, size_t index) {
        return index == 0 ? Unauthorized(CSeqOf(request), challenges) : DescribeAnswer(CSeqOf(request));
    });
    CBaseRTSPClient client;
    RTSPSessionParams params = LoopbackParams(server.GetPort());
    params.authScheme = GetParam().configured;
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    const auto requests = server.GetRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("Authorization: Basic") != std::string::npos, GetParam().configured == RTSP_AUTH_BASIC);
    const std::string uri = "rtsp://127.0.0.1:" + std::to_string(server.GetPort()) + "/media/video1";
    EXPECT_NE(requests[1].find("CSeq: 2\r\n" + GetParam().authorization(uri)), std::string::npos) << requests[1];
    EXPECT_EQ(requests[1].find("Authorization:"), requests[1].rfind("Authorization:")) << "two schemes sent";
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, CBaseRTSPClientChallenge,
    ::testing::Values(ChallengeCase{"Digest", RTSP_AUTH_NONE, kDigest, DigestLine},
                      ChallengeCase{"Basic", RTSP_AUTH_NONE, kBasic, BasicLine},
                      ChallengeCase{"DigestThenBasicOverConfiguredBasic", RTSP_AUTH_BASIC,
                                    std::string(kDigest) + kBasic, DigestLine},
                      ChallengeCase{"BasicThenDigestOverConfiguredBasic", RTSP_AUTH_BASIC,
                                    std::string(kBasic) + kDigest, DigestLine}),
    [](const auto& info) { return std::string(info.param.name); });

// With qop="auth" the count goes up with every request made with one nonce and
// starts again at 1, with a new client nonce, when the camera changes its nonce.
TEST(CBaseRTSPClient, QopAuthChallengeIsAnsweredWithCountAndClientNonce) {
    ScriptedRtspServer server([](const std::string& request, size_t index) {
        const std::string nonce = index >= 2 ? "n1nce" : "n0nce";
        return Unauthorized(CSeqOf(request), "WWW-Authenticate: Digest realm=\"cam\", nonce=\"" + nonce +
                                                 "\", qop=\"auth,auth-int\"\r\n");
    });
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(LoopbackParams(server.GetPort()), nullptr, RTSP_TRANSPORT_UDP));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    const auto requests = server.GetRequests();
    ASSERT_EQ(requests.size(), 4u); // the first unanswered, then one each: a repeated 401 is not resent
    const std::string uri = "rtsp://127.0.0.1:" + std::to_string(server.GetPort()) + "/media/video1";
    const std::string ha1 = Md5Hex("admin:cam:pw");
    const std::string ha2 = Md5Hex("DESCRIBE:" + uri);
    const char* expected[][2] = {{"n0nce", "00000001"}, {"n0nce", "00000002"}, {"n1nce", "00000001"}};
    std::vector<std::string> clientNonces;
    for (size_t i = 1; i < 4; ++i) {
        const std::string& request = requests[i];
        EXPECT_EQ(DigestField(request, "nonce"), expected[i - 1][0]) << "request " << i;
        EXPECT_EQ(DigestField(request, "nc"), expected[i - 1][1]) << "request " << i << ": nonce count";
        EXPECT_EQ(DigestField(request, "qop"), "auth");
        EXPECT_EQ(DigestField(request, "uri"), uri);
        clientNonces.push_back(DigestField(request, "cnonce"));
        ASSERT_FALSE(clientNonces.back().empty());
        EXPECT_EQ(DigestField(request, "response"),
                  Md5Hex(ha1 + ":" + expected[i - 1][0] + ":" + expected[i - 1][1] + ":" + clientNonces.back() +
                         ":auth:" + ha2));
    }
    EXPECT_EQ(clientNonces[0], clientNonces[1]);
    EXPECT_NE(clientNonces[1], clientNonces[2]) << "client nonce kept for a new server nonce";
}

TEST(CBaseRTSPClient, NotFoundClosedConnectionClosedPortAndNoHostFail) {
    ScriptedRtspServer server([](const std::string& request, size_t index) -> std::string {
        if (index == 0)
            return "RTSP/1.0 404 Not Found\r\nCSeq: " + CSeqOf(request) + "\r\nContent-Length: 2\r\n\r\nno";
        return {};
    });
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(LoopbackParams(server.GetPort()), nullptr, RTSP_TRANSPORT_UDP));
    EXPECT_FALSE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetStatusCode(), 404u);
    EXPECT_FALSE(client.SendRequest(RTSP_DESCRIBE));
    // Nor does a connection to a closed port or to no host at all.
    CBaseRTSPClient unconnected;
    RTSPSessionParams params = LoopbackParams(1);
    EXPECT_FALSE(unconnected.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    params.host = "";
    EXPECT_FALSE(unconnected.Connect(params, nullptr, RTSP_TRANSPORT_UDP));
    EXPECT_FALSE(unconnected.SendRequest(RTSP_DESCRIBE));
}

TEST(CBaseRTSPClient, LongHeaderBlockIsReadWhole) {
    const std::string padding(1500, 'x');
    ScriptedRtspServer server([&](const std::string& request, size_t) {
        return Ok(CSeqOf(request), "X-Padding: " + padding + "\r\n", kDescription);
    });
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(LoopbackParams(server.GetPort()), nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    EXPECT_EQ(client.GetMediaRecord(SDP_MEDIA_VIDEO).control, "trackID=1");
}

using Bytes = std::string;

Bytes Frame(uint8_t channel, const Bytes& body) {
    return Bytes{'$', char(channel), char(body.size() >> 8), char(body.size() & 0xFF)} + body;
}

Bytes RtpPacket(uint16_t sequence) {
    return Bytes{char(0x80), 0x60, char(sequence >> 8), char(sequence & 0xFF), 0, 0, 0, 1, 0, 0, 0, 2, '$', 0, 1};
}

// Sends its keep-alive from the packet path, as an interleaved channel does.
struct KeepAliveChannel : test::RtpPacketRecorder {
    void OnPacket(size_t count) override {
        if (count == 2 || count == 4)
            keepAliveResult = keepAliveResult && client->SendRequest(RTSP_GET_PARAMETER) &&
                              client->GetStatusCode() == 200;
        if (count == 5)
            client->Disconnect();
    }
    CBaseRTSPClient* client = nullptr;
    bool keepAliveResult = true;
};

TEST(CBaseRTSPClient, InterleavedKeepAliveAnswerAmongFramesLosesNoFrame) {
    ScriptedRtspServer server([](const std::string& request, size_t index) -> std::string {
        const std::string cseq = CSeqOf(request);
        if (request.starts_with("DESCRIBE"))
            return DescribeAnswer(cseq);
        if (request.starts_with("SETUP"))
            return Ok(cseq, "Session: 77;timeout=60\r\nTransport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n");
        if (request.starts_with("PLAY"))
            return Ok(cseq, "Session: 77\r\n") + Frame(0, RtpPacket(1)) +
                   Frame(1, Bytes{char(0x80), char(200), 0, 1, '$', 0, 0, 0}) + Frame(0, RtpPacket(2));
        // The first keep-alive's answer follows a late one to an older request
        // (CSeq one less); each keep-alive must take its own, PLAY's too is passed over.
        if (request.starts_with("GET_PARAMETER") && index == 3)
            return "RTSP/1.0 454 Session Not Found\r\nCSeq: " + std::to_string(std::stoi(cseq) - 1) + "\r\n\r\n" +
                   Frame(0, RtpPacket(3)) + Ok(cseq, "Session: 77\r\n", std::string("$\1\0\0", 4)) +
                   Frame(0, RtpPacket(4));
        if (request.starts_with("GET_PARAMETER"))
            return Ok(cseq, "Session: 77\r\n") + Frame(0, RtpPacket(5));
        return {};
    });
    CBaseRTSPClient client;
    KeepAliveChannel channel;
    channel.client = &client;
    ASSERT_TRUE(client.Connect(LoopbackParams(server.GetPort()), &channel, RTSP_TRANSPORT_INTERLEAVED));
    ASSERT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    ASSERT_TRUE(client.SendRequest(RTSP_SETUP));
    EXPECT_FALSE(client.SendRequest(RTSP_PLAY)); // ended by the channel's Disconnect
    EXPECT_TRUE(channel.keepAliveResult);
    EXPECT_EQ(channel.Sequences(), (std::vector<uint16_t>{1, 2, 3, 4, 5}));
}

TEST(CBaseRTSPClient, InterleavedReaderReportsTheEndOfTheConnection) {
    ScriptedRtspServer server([](const std::string& request, size_t) -> std::string {
        if (request.starts_with("PLAY"))
            return Ok(CSeqOf(request)) + Frame(0, RtpPacket(1));
        return {};
    });
    test::RtpPacketRecorder counter;
    CBaseRTSPClient client;
    RTSPSessionParams params = LoopbackParams(server.GetPort());
    params.receiveTimeoutMs = 500;
    ASSERT_TRUE(client.Connect(params, &counter, RTSP_TRANSPORT_INTERLEAVED));
    EXPECT_TRUE(client.SendRequest(RTSP_PLAY)); // the stream ends with the read time-out
    EXPECT_EQ(counter.Packets(), 1u);
}

TEST(CBaseRTSPClient, DisconnectFromAnotherThreadEndsTheInterleavedReader) {
    ScriptedRtspServer server([](const std::string& request, size_t) { return Ok(CSeqOf(request)); });
    CBaseRTSPClient client;
    RTSPSessionParams params = LoopbackParams(server.GetPort());
    params.receiveTimeoutMs = 20000;
    ASSERT_TRUE(client.Connect(params, nullptr, RTSP_TRANSPORT_INTERLEAVED));
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client.Disconnect();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.SendRequest(RTSP_PLAY));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    stopper.join();
    EXPECT_FALSE(client.IsConnected());
}

} // namespace
} // namespace talvex

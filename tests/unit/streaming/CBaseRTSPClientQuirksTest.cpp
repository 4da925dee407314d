// The RTSP client against cameras whose challenges bend RFC 2617: Digest and
// Basic offered in two headers, and Digest with qop="auth".
#include "streaming/CBaseRTSPClient.h"

#include <gtest/gtest.h>

#include "ScriptedRtspServer.h"
#include "common/Md5.h"

#include <map>
#include <string>

namespace talvex {
namespace {

using test::CSeqOf;
using test::ScriptedRtspServer;

constexpr const char* kDigest = "WWW-Authenticate: Digest realm=\"cam\", nonce=\"n0nce\"\r\n";
constexpr const char* kBasic = "WWW-Authenticate: Basic realm=\"basic realm\"\r\n";

std::string Unauthorized(const std::string& cseq, const std::string& challenges) {
    return "RTSP/1.0 401 Unauthorized\r\nCSeq: " + cseq + "\r\n" + challenges + "\r\n";
}

// name=value and name="value" pairs of an Authorization: Digest line.
std::map<std::string, std::string> DigestFields(const std::string& request) {
    std::map<std::string, std::string> fields;
    const size_t start = request.find("Authorization: Digest ");
    if (start == std::string::npos)
        return fields;
    const std::string line = request.substr(start + 22, request.find("\r\n", start) - start - 22);
    size_t position = 0;
    while (position < line.size()) {
        const size_t equals = line.find('=', position);
        if (equals == std::string::npos)
            break;
        const std::string name = line.substr(position, equals - position);
        size_t end = 0;
        std::string value;
        if (line[equals + 1] == '"') {
            end = line.find('"', equals + 2);
            value = line.substr(equals + 2, end - equals - 2);
            ++end;
        } else {
            end = std::min(line.find(',', equals), line.size());
            value = line.substr(equals + 1, end - equals - 1);
        }
        fields[name] = value;
        position = line.find_first_not_of(", ", end);
    }
    return fields;
}

TEST(CRTSPResponseParserQuirks, DigestIsKeptWhenBasicFollowsInTheSameAnswer) {
    for (const std::string& challenges : {std::string(kDigest) + kBasic, std::string(kBasic) + kDigest}) {
        CRTSPResponseParser parser;
        ASSERT_TRUE(parser.Parse(Unauthorized("1", challenges), RTSP_DESCRIBE));
        EXPECT_EQ(parser.GetOfferedAuthScheme(), uint32_t(RTSP_AUTH_DIGEST)) << challenges;
        EXPECT_EQ(parser.GetRealm(), "cam");
        EXPECT_EQ(parser.GetNonce(), "n0nce");
    }
}

TEST(CRTSPResponseParserQuirks, BasicAloneInALaterAnswerIsTaken) {
    CRTSPResponseParser parser;
    ASSERT_TRUE(parser.Parse(Unauthorized("1", kDigest), RTSP_DESCRIBE));
    ASSERT_TRUE(parser.Parse(Unauthorized("2", kBasic), RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetOfferedAuthScheme(), uint32_t(RTSP_AUTH_BASIC));
}

TEST(CRTSPResponseParserQuirks, QopAuthIsFoundInItsQuotedList) {
    const std::pair<std::string, bool> cases[] = {
        {"qop=\"auth\"", true},          {"qop=\"auth-int,auth\"", true}, {"qop=\"auth-int, auth\"", true},
        {"qop=auth", true},              {"qop=\"auth-int\"", false},     {"QOP=\"AUTH\"", true},
        {"algorithm=MD5", false},
    };
    for (const auto& [parameter, offered] : cases) {
        CRTSPResponseParser parser;
        ASSERT_TRUE(parser.Parse(Unauthorized("1", "WWW-Authenticate: Digest realm=\"cam\", nonce=\"n0nce\", " +
                                                       parameter + "\r\n"),
                                 RTSP_DESCRIBE));
        EXPECT_EQ(parser.IsQopAuthOffered(), offered) << parameter;
        EXPECT_EQ(parser.GetNonce(), "n0nce") << parameter;
    }
}

RTSPSessionParams Credentials(uint16_t port, uint32_t scheme) {
    RTSPSessionParams params;
    params.host = "127.0.0.1";
    params.port = port;
    params.path = "/video1";
    params.user = "admin";
    params.password = "pw";
    params.authScheme = scheme;
    params.connectTimeoutMs = 2000;
    params.receiveTimeoutMs = 2000;
    return params;
}

TEST(CBaseRTSPClientQuirks, DigestAndBasicOfferedAreAnsweredWithDigest) {
    ScriptedRtspServer server([](const std::string& request, size_t index) {
        return index == 0 ? Unauthorized(CSeqOf(request), std::string(kDigest) + kBasic)
                          : "RTSP/1.0 200 OK\r\nCSeq: " + CSeqOf(request) + "\r\nSession: 1;timeout=60\r\n\r\n";
    });
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(Credentials(server.GetPort(), RTSP_AUTH_BASIC), nullptr, RTSP_TRANSPORT_UDP));
    ASSERT_TRUE(client.SendRequest(RTSP_GET_PARAMETER));
    EXPECT_EQ(client.GetStatusCode(), 200u);
    const auto requests = server.GetRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].find("Authorization: Basic"), std::string::npos);
    EXPECT_EQ(DigestFields(requests[1])["realm"], "cam");
}

// The count goes up with every request made with one nonce and starts again
// at 1, with a new client nonce, when the camera changes its nonce.
TEST(CBaseRTSPClientQuirks, QopAuthChallengeIsAnsweredWithCountAndClientNonce) {
    ScriptedRtspServer server([](const std::string& request, size_t index) {
        const std::string nonce = index >= 2 ? "n1nce" : "n0nce";
        return Unauthorized(CSeqOf(request), "WWW-Authenticate: Digest realm=\"cam\", nonce=\"" + nonce +
                                                 "\", qop=\"auth,auth-int\"\r\n");
    });
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(Credentials(server.GetPort(), RTSP_AUTH_NONE), nullptr, RTSP_TRANSPORT_UDP));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    const auto requests = server.GetRequests();
    ASSERT_EQ(requests.size(), 4u); // the first unanswered, then one each
    const std::string uri = "rtsp://127.0.0.1:" + std::to_string(server.GetPort()) + "/video1";
    const std::string ha1 = Md5Hex("admin:cam:pw");
    const std::string ha2 = Md5Hex("DESCRIBE:" + uri);
    const char* expected[][2] = {{"n0nce", "00000001"}, {"n0nce", "00000002"}, {"n1nce", "00000001"}};
    std::vector<std::string> clientNonces;
    for (size_t i = 1; i < 4; ++i) {
        auto fields = DigestFields(requests[i]);
        EXPECT_EQ(fields["nonce"], expected[i - 1][0]) << "request " << i;
        EXPECT_EQ(fields["nc"], expected[i - 1][1]) << "request " << i << ": nonce count";
        EXPECT_EQ(fields["qop"], "auth");
        EXPECT_EQ(fields["uri"], uri);
        ASSERT_FALSE(fields["cnonce"].empty());
        clientNonces.push_back(fields["cnonce"]);
        EXPECT_EQ(fields["response"], Md5Hex(ha1 + ":" + fields["nonce"] + ":" + fields["nc"] + ":" +
                                             fields["cnonce"] + ":auth:" + ha2));
    }
    EXPECT_EQ(clientNonces[0], clientNonces[1]);
    EXPECT_NE(clientNonces[1], clientNonces[2]) << "client nonce kept for a new server nonce";
}

TEST(CBaseRTSPClientQuirks, DigestWithoutQopKeepsTheRfc2069Answer) {
    ScriptedRtspServer server(
        [](const std::string& request, size_t) { return Unauthorized(CSeqOf(request), kDigest); });
    CBaseRTSPClient client;
    ASSERT_TRUE(client.Connect(Credentials(server.GetPort(), RTSP_AUTH_NONE), nullptr, RTSP_TRANSPORT_UDP));
    EXPECT_TRUE(client.SendRequest(RTSP_DESCRIBE));
    const auto requests = server.GetRequests();
    ASSERT_EQ(requests.size(), 2u);
    const auto fields = DigestFields(requests[1]);
    EXPECT_EQ(fields.count("qop"), 0u);
    EXPECT_EQ(fields.count("nc"), 0u);
    EXPECT_EQ(fields.count("cnonce"), 0u);
}

} // namespace
} // namespace talvex

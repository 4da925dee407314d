#include "streaming/CRTSPResponseParser.h"

#include <gtest/gtest.h>

#include "StreamingTestData.h"

namespace talvex {
namespace {

std::string Answer(const std::string& headers, const std::string& body = "") {
    return "RTSP/1.0 200 OK\r\n" + headers + "\r\n" + body;
}

TEST(CRTSPResponseParser, CapturedDescribeAnswerAndBasicChallenge) {
    CRTSPResponseParser parser;
    ASSERT_TRUE(parser.Parse(test::ReadCapturedFile("gst-rtsp-server-describe.txt"), RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetStatusCode(), 200u);
    EXPECT_EQ(parser.GetVersion(), "RTSP/1.0");
    EXPECT_EQ(parser.GetCSeq(), 1u);
    EXPECT_EQ(parser.GetContentType(), "application/sdp");
    EXPECT_EQ(parser.GetContentLength(), 499u);
    EXPECT_EQ(parser.GetContentBase().substr(0, 17), "rtsp://127.0.0.1:");
    ASSERT_TRUE(parser.Parse(test::ReadCapturedFile("gst-rtsp-server-401.txt"), RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetStatusCode(), 401u);
    EXPECT_EQ(parser.GetOfferedAuthScheme(), RTSP_AUTH_BASIC);
    EXPECT_EQ(parser.GetRealm(), "GStreamer RTSP Server");
}

TEST(CRTSPResponseParser, StatusOtherThan200Or401AndMalformedAnswersFail) {
    CRTSPResponseParser parser;
    EXPECT_FALSE(parser.Parse("RTSP/1.0 404 Not Found\r\nCSeq: 2\r\n\r\n", RTSP_SETUP));
    EXPECT_EQ(parser.GetStatusCode(), 404u);
    EXPECT_FALSE(parser.Parse(Answer("CSeq: x\r\n"), RTSP_PLAY));
    EXPECT_FALSE(parser.Parse(Answer("Content-Length: -1\r\n"), RTSP_PLAY));
    EXPECT_FALSE(parser.Parse(Answer("Content-Type:\r\n"), RTSP_PLAY));
    EXPECT_FALSE(parser.Parse(Answer("CSeq: 99999999999\r\n"), RTSP_PLAY));
    EXPECT_FALSE(parser.Parse("garbage\r\n\r\n", RTSP_SETUP));
    EXPECT_FALSE(parser.Parse("", RTSP_SETUP));
}

TEST(CRTSPResponseParser, DigestChallengeNeedsRealmAndNonce) {
    CRTSPResponseParser parser;
    ASSERT_TRUE(parser.Parse("RTSP/1.0 401 Unauthorized\r\nCSeq: 3\r\n"
                             "WWW-Authenticate: Digest realm=\"Sony Network Camera\", nonce=\"AbC123\"\r\n\r\n",
                             RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetOfferedAuthScheme(), RTSP_AUTH_DIGEST);
    EXPECT_EQ(parser.GetRealm(), "Sony Network Camera");
    EXPECT_EQ(parser.GetNonce(), "AbC123"); // the nonce keeps its case
    EXPECT_FALSE(parser.Parse("RTSP/1.0 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"x\"\r\n\r\n",
                              RTSP_DESCRIBE));
    // An unknown scheme leaves the offer unchanged.
    ASSERT_TRUE(parser.Parse("RTSP/1.0 401 Unauthorized\r\nWWW-Authenticate: Negotiate abc\r\n\r\n", RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetOfferedAuthScheme(), RTSP_AUTH_DIGEST);
}

// Cameras whose challenges bend RFC 2617 (Digest and Basic offered in two
// headers, Digest kept in either order: CBaseRTSPClientChallenge) and Digest with qop="auth".
std::string Unauthorized(const std::string& challenges) {
    return "RTSP/1.0 401 Unauthorized\r\nCSeq: 1\r\n" + challenges + "\r\n";
}

TEST(CRTSPResponseParser, BasicAloneInALaterAnswerReplacesDigest) {
    CRTSPResponseParser parser;
    ASSERT_TRUE(
        parser.Parse(Unauthorized("WWW-Authenticate: Digest realm=\"cam\", nonce=\"n0nce\"\r\n"), RTSP_DESCRIBE));
    ASSERT_TRUE(parser.Parse(Unauthorized("WWW-Authenticate: Basic realm=\"basic realm\"\r\n"), RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetOfferedAuthScheme(), uint32_t(RTSP_AUTH_BASIC));
}

TEST(CRTSPResponseParser, QopAuthIsFoundInItsQuotedList) {
    const std::pair<std::string, bool> cases[] = {
        {"qop=\"auth\"", true},          {"qop=\"auth-int,auth\"", true}, {"qop=\"auth-int, auth\"", true},
        {"qop=auth", true},              {"qop=\"auth-int\"", false},     {"QOP=\"AUTH\"", true},
        {"algorithm=MD5", false},
    };
    for (const auto& [parameter, offered] : cases) {
        CRTSPResponseParser parser;
        ASSERT_TRUE(parser.Parse(
            Unauthorized("WWW-Authenticate: Digest realm=\"cam\", nonce=\"n0nce\", " + parameter + "\r\n"),
            RTSP_DESCRIBE));
        EXPECT_EQ(parser.IsQopAuthOffered(), offered) << parameter;
        EXPECT_EQ(parser.GetNonce(), "n0nce") << parameter;
    }
}

TEST(CRTSPResponseParser, SessionHeaderTimeoutAndContentBaseKeepTheirCase) {
    CRTSPResponseParser parser;
    ASSERT_TRUE(parser.Parse(Answer("Session: 12345678;timeout=0\r\n"), RTSP_SETUP));
    EXPECT_EQ(parser.GetSessionId(), "12345678");
    EXPECT_EQ(parser.GetSessionTimeoutSeconds(), 30u);
    ASSERT_TRUE(parser.Parse(Answer("Session: 12345678;timeout=45\r\n"), RTSP_SETUP));
    EXPECT_EQ(parser.GetSessionTimeoutSeconds(), 45u);
    ASSERT_TRUE(parser.Parse(Answer("Session:  AbCd 99\r\n"), RTSP_SETUP));
    EXPECT_EQ(parser.GetSessionId(), "AbCd99");
    EXPECT_EQ(parser.GetSessionTimeoutSeconds(), 45u);
    EXPECT_FALSE(parser.Parse(Answer("Session: 12345678;other=1\r\n"), RTSP_SETUP));
    EXPECT_TRUE(parser.GetSessionId().empty());
    ASSERT_TRUE(parser.Parse(Answer("Content-Base:  rtsp://Cam/Media/video1/ \r\n"), RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetContentBase(), "rtsp://Cam/Media/video1/");
    ASSERT_TRUE(parser.Parse(Answer("Content-Base: http://cam/\r\n"), RTSP_DESCRIBE));
    EXPECT_EQ(parser.GetContentBase(), "rtsp://Cam/Media/video1/");
}

TEST(CRTSPResponseParser, DescribeBodyIsTheDescription) {
    CRTSPResponseParser parser;
    EXPECT_TRUE(parser.Parse(Answer("CSeq: 2\r\n"), RTSP_DESCRIBE));
    const std::string badBody = "m=video 0 RTP/AVP 96\r\na=fmtp:96 packetization-mode=1\r\n";
    const std::string answer = Answer("Content-Length: " + std::to_string(badBody.size()) + "\r\n", badBody);
    EXPECT_FALSE(parser.Parse(answer, RTSP_DESCRIBE));
    EXPECT_TRUE(parser.Parse(answer, RTSP_GET_PARAMETER)); // other requests do not look at the body
}

TEST(CRTSPResponseParser, FindHeaderNumberReadsWithoutState) {
    EXPECT_EQ(CRTSPResponseParser::FindHeaderNumber("RTSP/1.0 200 OK\r\ncseq: 12\r\n\r\n", "cseq"), 12u);
    EXPECT_EQ(CRTSPResponseParser::FindHeaderNumber("RTSP/1.0 200 OK\r\n\r\nCSeq: 4\r\n", "cseq"), std::nullopt);
}

} // namespace
} // namespace talvex

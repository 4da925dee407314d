#include "streaming/CSDPResponseParser.h"

#include <gtest/gtest.h>

#include "StreamingTestData.h"

namespace talvex {
namespace {

TEST(CSDPResponseParser, EmptyBodyAndLineFeedEndingsSucceed) {
    CSDPResponseParser parser;
    ASSERT_TRUE(parser.Parse(""));
    EXPECT_TRUE(parser.GetMedia(SDP_MEDIA_VIDEO).protocol.empty());
    EXPECT_TRUE(parser.GetFirstParameterSet().empty());
    ASSERT_TRUE(parser.Parse("m=video 5000 RTP/AVP 26\na=control:video\n")); // line feeds alone
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_VIDEO).port, 5000u);
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_VIDEO).control, "video");
}

TEST(CSDPResponseParser, H264DescriptionFillsVideoAndAudioRecords) {
    CSDPResponseParser parser;
    ASSERT_TRUE(parser.Parse("v=0\r\no=- 0 0 IN IP4 10.0.0.5\r\ns=Session\r\nc=IN IP4 0.0.0.0\r\n"
                             "m=video 0 RTP/AVP 96\r\nc=IN IP4 239.1.1.1/16\r\na=rtpmap:96 H264/90000\r\n"
                             "a=control:trackID=1\r\n"
                             "a=fmtp:96 packetization-mode=1; sprop-parameter-sets=Z0IAHpWoKA9k,aM48gA==\r\n"
                             "m=audio 0 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\na=control:trackID=2\r\n"));
    const SDPMediaRecord& video = parser.GetMedia(SDP_MEDIA_VIDEO);
    EXPECT_EQ(video.port, 0u);
    EXPECT_EQ(video.protocol, "RTP/AVP");
    EXPECT_EQ(video.connectionAddress, "239.1.1.1");
    EXPECT_EQ(video.control, "trackID=1");
    EXPECT_EQ(video.encoding, "H264/90000");
    EXPECT_EQ(parser.GetFirstParameterSet(), CSDPResponseParser::DecodeBase64("Z0IAHpWoKA9k"));
    EXPECT_EQ(parser.GetSecondParameterSet(), (std::vector<uint8_t>{0x68, 0xCE, 0x3C, 0x80}));
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_AUDIO).encoding, "PCMU/8000");
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_AUDIO).control, "trackID=2");
}

TEST(CSDPResponseParser, VideoFmtpWithoutParameterSetsFailsTheDescriptionAudioFmtpIsIgnored) {
    CSDPResponseParser parser;
    EXPECT_TRUE(parser.Parse("m=audio 0 RTP/AVP 97\r\na=fmtp:97 streamtype=5\r\n"));
    EXPECT_FALSE(parser.Parse("m=video 0 RTP/AVP 96\r\na=fmtp:96 packetization-mode=1\r\n"));
    EXPECT_FALSE(parser.Parse("m=video 0 RTP/AVP 96\r\na=fmtp:96 sprop-parameter-sets=Z0IAHpWoKA9k\r\n"));
}

TEST(CSDPResponseParser, ConnectionLines) {
    CSDPResponseParser parser;
    EXPECT_TRUE(parser.Parse("m=video 0 RTP/AVP 26\r\nc=IN IP6 ::1\r\n"));
    EXPECT_TRUE(parser.GetMedia(SDP_MEDIA_VIDEO).connectionAddress.empty());
    EXPECT_FALSE(parser.Parse("m=video 0 RTP/AVP 26\r\nc=IN IPX 1.2.3.4\r\n"));
    EXPECT_FALSE(parser.Parse("m=video 0 RTP/AVP 26\r\nc=IN IP4\r\n"));
    EXPECT_FALSE(parser.Parse("m=video 0 RTP/AVP 26\r\nc=in IP4 1.2.3.4\r\n"));
    // Session-level connection: nothing to store, but the address is valid.
    EXPECT_TRUE(parser.Parse("c=IN IP4 1.2.3.4\r\n"));
}

TEST(CSDPResponseParser, ConfigIsHexOrBase64AndParameterNamesMatchOnlyWhole) {
    CSDPResponseParser parser;
    ASSERT_TRUE(parser.Parse("m=video 0 RTP/AVP 96\r\na=fmtp:96 profile-level-id=1;config=000001B0f5;\r\n"));
    EXPECT_EQ(parser.GetConfiguration(), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB0, 0xF5}));
    ASSERT_TRUE(parser.Parse("m=video 0 RTP/AVP 96\r\na=fmtp:96 config=AAABsQ==\r\n"));
    EXPECT_EQ(parser.GetConfiguration(), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB1}));
    // "config" inside "x-config" and "sprop-parameter-sets" inside a longer name are other parameters.
    ASSERT_TRUE(parser.Parse("m=video 0 RTP/AVP 96\r\na=fmtp:96 x-config=FFFF;config=000001B0\r\n"));
    EXPECT_EQ(parser.GetConfiguration(), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB0}));
    ASSERT_TRUE(parser.Parse("m=video 0 RTP/AVP 96\r\na=fmtp:96 x-sprop-parameter-sets=AAAA,AAAA; "
                             "sprop-parameter-sets=Z0IAHw==,aM48gA==\r\n"));
    EXPECT_EQ(parser.GetFirstParameterSet(), (std::vector<uint8_t>{0x67, 0x42, 0x00, 0x1F}));
}

TEST(CSDPResponseParser, AttributesBeforeTheFirstMediaLineAndUnderUnknownMedia) {
    CSDPResponseParser parser;
    ASSERT_TRUE(parser.Parse("a=control:*\r\nm=video 0 RTP/AVP 26\r\n"));
    EXPECT_TRUE(parser.GetMedia(SDP_MEDIA_VIDEO).control.empty());
    EXPECT_FALSE(parser.Parse("a=fmtp:96 config=000001B0\r\nm=video 0 RTP/AVP 96\r\n"));
    // An unknown media line keeps the kind before it.
    ASSERT_TRUE(parser.Parse("m=video 0 RTP/AVP 26\r\nm=text 0 RTP/AVP 98\r\na=control:late\r\n"
                             "m=application 0 RTP/AVP 107\r\na=control:meta\r\n"));
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_VIDEO).control, "late");
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_APPLICATION).control, "meta");
    EXPECT_FALSE(parser.Parse("m=\r\n"));
    EXPECT_FALSE(parser.Parse("m=video 0 RTP/AVP 96\r\na=rtpmap:96\r\n"));
}

TEST(CSDPResponseParser, Base64AndHexDecodingRules) {
    EXPECT_EQ(CSDPResponseParser::DecodeBase64("TWFu"), (std::vector<uint8_t>{'M', 'a', 'n'}));
    EXPECT_EQ(CSDPResponseParser::DecodeBase64("TWE="), (std::vector<uint8_t>{'M', 'a'}));
    EXPECT_EQ(CSDPResponseParser::DecodeBase64("T W\r\nE"), (std::vector<uint8_t>{'M', 'a'}));
    EXPECT_TRUE(CSDPResponseParser::DecodeBase64("T").empty());
    EXPECT_EQ(CSDPResponseParser::DecodeBase64(std::string(340, 'A')).size(), 255u);
    EXPECT_EQ(CSDPResponseParser::DecodeBase64(std::string(342, 'A')).size(), 256u);
    EXPECT_TRUE(CSDPResponseParser::DecodeBase64(std::string(343, 'A')).empty());
    EXPECT_EQ(CSDPResponseParser::DecodeHex("0aFf"), (std::vector<uint8_t>{0x0A, 0xFF}));
    EXPECT_EQ(CSDPResponseParser::DecodeHex("zz1"), (std::vector<uint8_t>{0x00, 0x01}));
    EXPECT_EQ(CSDPResponseParser::DecodeHex(std::string(512, 'f')).size(), 256u);
    EXPECT_TRUE(CSDPResponseParser::DecodeHex(std::string(514, 'f')).empty());
}

TEST(CSDPResponseParser, CapturedGStreamerDescription) {
    const std::string body = test::ReadCapturedFile("gst-rtsp-server-h264.sdp");
    ASSERT_FALSE(body.empty());
    CSDPResponseParser parser;
    ASSERT_TRUE(parser.Parse(body));
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_VIDEO).encoding, "H264/90000");
    EXPECT_EQ(parser.GetMedia(SDP_MEDIA_VIDEO).control, "stream=0");
    ASSERT_FALSE(parser.GetFirstParameterSet().empty());
    EXPECT_EQ(parser.GetFirstParameterSet()[0] & 0x1F, 7); // sequence parameter set
    EXPECT_EQ(parser.GetSecondParameterSet()[0] & 0x1F, 8); // picture parameter set
}

} // namespace
} // namespace talvex

#include "streaming/CRTSPStreamParser.h"

#include <gtest/gtest.h>

#include "support/RtpPacketRecorder.h"

#include <ostream>
#include <string>
#include <vector>

namespace talvex {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(uint8_t channel, const Bytes& body) {
    Bytes frame{'$', channel, uint8_t(body.size() >> 8), uint8_t(body.size())};
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

// An RTP packet whose payload holds '$' 0 pairs, to show they are not frame starts.
Bytes RtpPacket(uint16_t sequence) {
    return {0x80, 0x60, uint8_t(sequence >> 8), uint8_t(sequence), 0, 0, 0, 1, 0, 0, 0, 2, '$', 0, 0, 1, 0xAB};
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The body holds a '$' 0 pair too.
const std::string kKeepAliveAnswer("RTSP/1.0 200 OK\r\nCSeq: 5\r\nContent-Length: 6\r\n\r\n$\0\0\x0c!!", 53);

// Stream: packet 1, an RTCP frame with '$' 0 inside, an answer whose body has '$' 0,
// packet 2, a zero-length frame, a foreign channel 3 frame, then packet 3.
Bytes SampleStream() {
    const Bytes rtcp{0x80, 0xC8, 0x00, 0x06, '$', 0x00, 0x00, 0x10, 1, 2, 3, 4};
    return Join({Frame(0, RtpPacket(1)), Frame(1, rtcp), Text(kKeepAliveAnswer),
                 Frame(0, RtpPacket(2)), Frame(0, {}), Frame(3, Bytes(300, '$')), Frame(0, RtpPacket(3))});
}

struct Outcome {
    std::vector<uint16_t> sequences;
    std::vector<std::string> responses;
    bool operator==(const Outcome&) const = default;
};

Outcome FeedInPieces(const Bytes& stream, size_t split) {
    test::RtpPacketRecorder user;
    CRTSPStreamParser parser(&user, sockaddr_in{});
    parser.Feed(std::span<const uint8_t>(stream).first(split));
    parser.Feed(std::span<const uint8_t>(stream).subspan(split));
    Outcome outcome{user.Sequences(), {}};
    while (auto response = parser.TakeResponse())
        outcome.responses.push_back(*response);
    return outcome;
}

TEST(CRTSPStreamParser, DeliversChannelZeroPacketsAndKeepsAnswersWhereverTheStreamIsSplit) {
    const Bytes stream = SampleStream();
    const Outcome whole = FeedInPieces(stream, stream.size());
    ASSERT_EQ(whole, (Outcome{{1, 2, 3}, {kKeepAliveAnswer}}));
    for (size_t split = 0; split < stream.size(); ++split)
        ASSERT_EQ(FeedInPieces(stream, split), whole) << "split at " << split;
}

// Streams whose odd parts are passed over: the packets after them still come, no answer is kept.
struct SkipCase {
    const char* name;
    Bytes stream;
    uint16_t delivered;
};

void PrintTo(const SkipCase& value, std::ostream* out) { *out << value.name; }

class CRTSPStreamParserSkips : public ::testing::TestWithParam<SkipCase> {};

TEST_P(CRTSPStreamParserSkips, TheNextPacketStillComes) {
    EXPECT_EQ(FeedInPieces(GetParam().stream, 0), (Outcome{{GetParam().delivered}, {}}));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CRTSPStreamParserSkips,
    ::testing::Values(SkipCase{"BytesBeforeAFrame", Join({Text("xxRTSQ\r\n"), Frame(0, RtpPacket(9))}), 9},
                      SkipCase{"InvalidRtpInAFrame", Join({Frame(0, Bytes(20, 0)), Frame(0, RtpPacket(4))}), 4},
                      SkipCase{"OversizedAnswer",
                               Join({Text("RTSP/1.0 200 OK\r\nContent-Length: " +
                                          std::to_string(CRTSPStreamParser::MAX_RESPONSE_BYTES) + "\r\n\r\n"),
                                     Bytes(CRTSPStreamParser::MAX_RESPONSE_BYTES, '$'), Frame(0, RtpPacket(7))}),
                               7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CRTSPStreamParser, OnlyTheLatestAnswersAreKept) {
    CRTSPStreamParser parser(nullptr, sockaddr_in{});
    for (int cseq = 1; cseq <= 6; ++cseq)
        parser.Feed(Text("RTSP/1.0 200 OK\r\nCSeq: " + std::to_string(cseq) + "\r\n\r\n"));
    EXPECT_EQ(parser.TakeResponse()->substr(0, 26), "RTSP/1.0 200 OK\r\nCSeq: 3\r\n");
}

// A consumer that, like a channel sending its keep-alive, reads more of the
// stream while a packet is being delivered: later packets must wait and keep their order.
struct NestedFeedingUser : test::RtpPacketRecorder {
    void OnPacket(size_t count) override {
        if (count == 1) {
            parser->Feed(more);
            nestedAnswer = parser->TakeResponse().value_or("");
            pendingDuringNestedRead = parser->GetPendingPacketBytes();
        }
    }
    CRTSPStreamParser* parser = nullptr;
    Bytes more;
    std::string nestedAnswer;
    size_t pendingDuringNestedRead = 0;
};

TEST(CRTSPStreamParser, NestedFeedHoldsPacketsInOrder) {
    NestedFeedingUser user;
    CRTSPStreamParser parser(&user, sockaddr_in{});
    user.parser = &parser;
    user.more = Join({Frame(0, RtpPacket(3)), Text("RTSP/1.0 200 OK\r\nCSeq: 9\r\n\r\n"), Frame(0, RtpPacket(4))});
    parser.Feed(Join({Frame(0, RtpPacket(1)), Frame(0, RtpPacket(2))}));
    EXPECT_EQ(user.Sequences(), (std::vector<uint16_t>{1, 2, 3, 4}));
    EXPECT_EQ(user.nestedAnswer, "RTSP/1.0 200 OK\r\nCSeq: 9\r\n\r\n");
    EXPECT_EQ(user.pendingDuringNestedRead, 3 * 5u);
    EXPECT_EQ(parser.GetPendingPacketBytes(), 0u);
}

TEST(CRTSPStreamParser, ReusedPacketsCarryOnlyTheirOwnBytesAndABacklogIsDeliveredWhole) {
    std::vector<Bytes> payloads;
    test::RtpPacketRecorder user;
    user.keep = [&](const sockaddr_in&, const CRTPPacket& packet) {
        payloads.emplace_back(packet.GetPayload().begin(), packet.GetPayload().end());
        return true;
    };
    CRTSPStreamParser parser(&user, sockaddr_in{});
    Bytes large = RtpPacket(1);
    large.resize(1400, 0x77);
    parser.Feed(Frame(0, large));
    parser.Feed(Frame(0, RtpPacket(2)));
    ASSERT_EQ(payloads.size(), 2u);
    EXPECT_EQ(payloads[0].size(), 1400u - 12);
    EXPECT_EQ(payloads[1], (Bytes{'$', 0, 0, 1, 0xAB}));
    // More packets in one piece than the parser keeps slots for between deliveries.
    Bytes backlog;
    for (uint16_t sequence = 0; sequence < 300; ++sequence)
        backlog = Join({backlog, Frame(0, RtpPacket(sequence))});
    payloads.clear();
    parser.Feed(backlog);
    parser.Feed(Frame(0, RtpPacket(300)));
    EXPECT_EQ(payloads.size(), 301u);
    EXPECT_EQ(parser.GetPendingPacketBytes(), 0u);
}

} // namespace
} // namespace talvex

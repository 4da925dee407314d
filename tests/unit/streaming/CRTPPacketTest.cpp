#include "streaming/CRTPPacket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <optional>
#include <ostream>
#include <vector>

namespace talvex {
namespace {

using Bytes = std::vector<uint8_t>;

// Version 2, PT 96, sequence 0x1234, timestamp 0x01020304, SSRC 0xAABBCCDD.
Bytes Header(uint8_t firstByte = 0x80, uint8_t secondByte = 0x60) {
    return {firstByte, secondByte, 0x12, 0x34, 0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Payload(const CRTPPacket& packet) {
    return Bytes(packet.GetPayload().begin(), packet.GetPayload().end());
}

const Bytes kExtension{0xBE, 0xDE, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};

// A datagram and the payload left once header, CSRCs, extension and padding
// are taken off; nullopt: the datagram is refused.
struct ParseCase {
    const char* name;
    Bytes datagram;
    std::optional<Bytes> payload;
};

void PrintTo(const ParseCase& value, std::ostream* out) { *out << value.name; }

class CRTPPacketParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CRTPPacketParse, LeavesThePayload) {
    CRTPPacket packet;
    EXPECT_EQ(packet.Parse(GetParam().datagram), GetParam().payload.has_value());
    if (GetParam().payload) {
        EXPECT_EQ(Payload(packet), *GetParam().payload);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, CRTPPacketParse,
    ::testing::Values(
        ParseCase{"Empty", {}, std::nullopt}, ParseCase{"HeaderOnly", Header(), std::nullopt},
        ParseCase{"OneBytePayload", Header() + Bytes{0x42}, Bytes{0x42}},
        ParseCase{"Version0", Header(0x00) + Bytes{1, 2, 3}, std::nullopt},
        ParseCase{"Version1", Header(0x40) + Bytes{1, 2, 3}, std::nullopt},
        ParseCase{"Version3", Header(0xC0) + Bytes{1, 2, 3}, std::nullopt},
        ParseCase{"Padding", Header(0xA0) + Bytes{1, 2, 3, 0, 0, 3}, Bytes{1, 2, 3}},
        ParseCase{"PaddingFillingThePayload", Header(0xA0) + Bytes{0, 0, 3}, Bytes{}},
        ParseCase{"PaddingBeyondThePayload", Header(0xA0) + Bytes{0, 0, 4}, std::nullopt},
        ParseCase{"PaddingCount255OfOneByte", Header(0xA0) + Bytes{0xFF}, std::nullopt},
        ParseCase{"CsrcListFillingTheRest", Header(0x82) + Bytes{1, 2, 3, 4, 5, 6, 7, 8}, std::nullopt},
        ParseCase{"FifteenCsrcsBeyondTheDatagram", Header(0x8F) + Bytes(20, 0), std::nullopt},
        ParseCase{"ExtensionFillingTheDatagram", Header(0x90) + kExtension, Bytes{}},
        ParseCase{"ExtensionHeaderCut", Header(0x90) + Bytes{0xBE, 0xDE, 0x00}, std::nullopt},
        ParseCase{"ExtensionLongerThanTheDatagram", Header(0x90) + Bytes{0xBE, 0xDE, 0x00, 0x02, 1, 2, 3, 4},
                  std::nullopt},
        ParseCase{"ExtensionLength0xFFFF", Header(0x90) + Bytes{0xBE, 0xDE, 0xFF, 0xFF, 1, 2, 3, 4}, std::nullopt},
        ParseCase{"PaddingAfterCsrcAndExtension", Header(0xB1) + Bytes{1, 1, 1, 1, 0xBE, 0xDE, 0, 0, 5, 6, 2}, Bytes{5}},
        ParseCase{"PaddingReachingIntoTheExtension", Header(0xB1) + Bytes{1, 1, 1, 1, 0xBE, 0xDE, 0, 0, 5, 6, 4},
                  std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CRTPPacket, HeaderFieldsCsrcListAndExtensionWordsAreRead) {
    CRTPPacket packet;
    const Bytes csrcs{1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(packet.Parse(Header(0x92, 0xE0) + csrcs + kExtension + Bytes{7}));
    EXPECT_EQ(Payload(packet), Bytes{7});
    EXPECT_EQ(packet.GetMarker(), 1);
    EXPECT_EQ(packet.GetPayloadType(), 96);
    EXPECT_EQ(packet.GetSequenceNumber(), 0x1234);
    EXPECT_EQ(packet.GetTimestamp(), 0x01020304u);
    EXPECT_EQ(packet.GetPadding(), 0);
    EXPECT_EQ(packet.GetSsrc(), htonl(0xAABBCCDDu)); // as sent: network byte order
    EXPECT_EQ(packet.GetCsrcCount(), 2);
    EXPECT_EQ(Bytes(packet.GetCsrcList().begin(), packet.GetCsrcList().end()), csrcs);
    EXPECT_EQ(packet.GetExtensionProfile(), 0xBEDE);
    EXPECT_EQ(packet.GetExtensionLength(), 1);
    EXPECT_EQ(Bytes(packet.GetExtensionData().begin(), packet.GetExtensionData().end()),
              (Bytes{0x11, 0x22, 0x33, 0x44}));
}

TEST(CRTPPacket, ParsingAgainLeavesNothingOfTheEarlierPacket) {
    // A receiver reuses its packets: neither a failed parse nor the next one keeps bytes of the first.
    CRTPPacket packet;
    const Bytes full = Header(0xB1) + Bytes{1, 2, 3, 4} + kExtension + Bytes(1400, 9) + Bytes{0, 2};
    ASSERT_TRUE(packet.Parse(full));
    packet.SetArrivalNs(42);
    ASSERT_TRUE(packet.Parse(Header(0x80) + Bytes{5, 6, 7}));
    EXPECT_TRUE(packet.GetCsrcList().empty());
    EXPECT_EQ(packet.GetExtensionLength(), 0);
    EXPECT_TRUE(packet.GetExtensionData().empty());
    EXPECT_EQ(packet.GetPadding(), 0);
    EXPECT_EQ(packet.GetArrivalNs(), 0u);
    EXPECT_EQ(Payload(packet), (Bytes{5, 6, 7}));
    ASSERT_TRUE(packet.Parse(full));
    EXPECT_FALSE(packet.Parse(Header(0x40) + Bytes{1}));
    EXPECT_EQ(packet.GetPayloadSize(), 0u);
    EXPECT_EQ(packet.GetCsrcCount(), 0);
    EXPECT_TRUE(packet.GetCsrcList().empty());
}

} // namespace
} // namespace talvex

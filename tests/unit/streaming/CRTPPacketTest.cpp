#include "streaming/CRTPPacket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace talvex {
namespace {

// Version 2, PT 96, sequence 0x1234, timestamp 0x01020304, SSRC 0xAABBCCDD.
std::vector<uint8_t> Header(uint8_t firstByte = 0x80, uint8_t secondByte = 0x60) {
    return {firstByte, secondByte, 0x12, 0x34, 0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD};
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(CRTPPacket, TwelveByteDatagramIsRejected) {
    CRTPPacket packet;
    EXPECT_FALSE(packet.Parse(Header()));
    EXPECT_FALSE(packet.Parse({}));
}

TEST(CRTPPacket, ThirteenByteDatagramHasOneBytePayload) {
    CRTPPacket packet;
    const auto datagram = Header(0x80, 0xE0) + std::vector<uint8_t>{0x42};
    ASSERT_TRUE(packet.Parse(datagram));
    EXPECT_EQ(packet.GetPayloadSize(), 1u);
    EXPECT_EQ(packet.GetPayload()[0], 0x42);
    EXPECT_EQ(packet.GetMarker(), 1);
    EXPECT_EQ(packet.GetPayloadType(), 96);
    EXPECT_EQ(packet.GetSequenceNumber(), 0x1234);
    EXPECT_EQ(packet.GetTimestamp(), 0x01020304u);
    EXPECT_EQ(packet.GetPadding(), 0);
    EXPECT_EQ(packet.GetCsrcCount(), 0);
    const uint8_t ssrcBytes[] = {0xAA, 0xBB, 0xCC, 0xDD};
    uint32_t expectedSsrc = 0;
    std::memcpy(&expectedSsrc, ssrcBytes, 4);
    EXPECT_EQ(packet.GetSsrc(), expectedSsrc);
}

TEST(CRTPPacket, VersionOtherThanTwoIsRejected) {
    CRTPPacket packet;
    for (uint8_t first : {0x00, 0x40, 0xC0})
        EXPECT_FALSE(packet.Parse(Header(first) + std::vector<uint8_t>{1, 2, 3}));
}

TEST(CRTPPacket, PaddingIsRemovedFromPayload) {
    CRTPPacket packet;
    ASSERT_TRUE(packet.Parse(Header(0xA0) + std::vector<uint8_t>{1, 2, 3, 0, 0, 3}));
    EXPECT_EQ(packet.GetPadding(), 1);
    EXPECT_EQ(std::vector<uint8_t>(packet.GetPayload().begin(), packet.GetPayload().end()),
              (std::vector<uint8_t>{1, 2, 3}));
}

TEST(CRTPPacket, PaddingCountEqualToPayloadGivesEmptyPayload) {
    CRTPPacket packet;
    ASSERT_TRUE(packet.Parse(Header(0xA0) + std::vector<uint8_t>{0, 0, 3}));
    EXPECT_EQ(packet.GetPayloadSize(), 0u);
}

TEST(CRTPPacket, PaddingCountBeyondPayloadIsRejected) {
    CRTPPacket packet;
    EXPECT_FALSE(packet.Parse(Header(0xA0) + std::vector<uint8_t>{0, 0, 4}));
    EXPECT_FALSE(packet.Parse(Header(0xA0) + std::vector<uint8_t>{0xFF}));
}

TEST(CRTPPacket, CsrcListIsCopiedWhenAByteFollows) {
    CRTPPacket packet;
    const std::vector<uint8_t> csrcs{1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(packet.Parse(Header(0x82) + csrcs + std::vector<uint8_t>{9}));
    EXPECT_EQ(packet.GetCsrcCount(), 2);
    EXPECT_EQ(std::vector<uint8_t>(packet.GetCsrcList().begin(), packet.GetCsrcList().end()), csrcs);
    EXPECT_EQ(packet.GetPayloadSize(), 1u);
    EXPECT_EQ(packet.GetPayload()[0], 9);
}

TEST(CRTPPacket, CsrcListFillingTheRestIsRejected) {
    CRTPPacket packet;
    EXPECT_FALSE(packet.Parse(Header(0x82) + std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(packet.Parse(Header(0x8F) + std::vector<uint8_t>(20, 0)));
}

TEST(CRTPPacket, ExtensionWordsAreCopied) {
    CRTPPacket packet;
    const std::vector<uint8_t> extension{0xBE, 0xDE, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};
    ASSERT_TRUE(packet.Parse(Header(0x90) + extension + std::vector<uint8_t>{7, 8}));
    EXPECT_EQ(packet.GetExtensionProfile(), 0xBEDE);
    EXPECT_EQ(packet.GetExtensionLength(), 1);
    EXPECT_EQ(std::vector<uint8_t>(packet.GetExtensionData().begin(), packet.GetExtensionData().end()),
              (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(packet.GetPayloadSize(), 2u);
}

TEST(CRTPPacket, ParsingAgainLeavesNothingOfTheEarlierPacket) {
    // A receiver reuses its packets: the second parse must not keep bytes of the first.
    CRTPPacket packet;
    const std::vector<uint8_t> extension{0xBE, 0xDE, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};
    ASSERT_TRUE(packet.Parse(Header(0xB1) + std::vector<uint8_t>{1, 2, 3, 4} + extension +
                             std::vector<uint8_t>(1400, 9) + std::vector<uint8_t>{0, 2}));
    packet.SetArrivalNs(42);
    ASSERT_TRUE(packet.Parse(Header(0x80) + std::vector<uint8_t>{5, 6, 7}));
    EXPECT_EQ(packet.GetCsrcCount(), 0);
    EXPECT_TRUE(packet.GetCsrcList().empty());
    EXPECT_EQ(packet.GetExtensionLength(), 0);
    EXPECT_TRUE(packet.GetExtensionData().empty());
    EXPECT_EQ(packet.GetPadding(), 0);
    EXPECT_EQ(packet.GetArrivalNs(), 0u);
    EXPECT_EQ(std::vector<uint8_t>(packet.GetPayload().begin(), packet.GetPayload().end()),
              (std::vector<uint8_t>{5, 6, 7}));
    EXPECT_FALSE(packet.Parse(Header(0x40) + std::vector<uint8_t>{1}));
    EXPECT_EQ(packet.GetPayloadSize(), 0u);
}

TEST(CRTPPacket, ExtensionExactlyFillingTheDatagramGivesEmptyPayload) {
    CRTPPacket packet;
    ASSERT_TRUE(packet.Parse(Header(0x90) + std::vector<uint8_t>{0xBE, 0xDE, 0x00, 0x01, 1, 2, 3, 4}));
    EXPECT_EQ(packet.GetPayloadSize(), 0u);
}

TEST(CRTPPacket, ExtensionOutsideTheDatagramIsRejected) {
    CRTPPacket packet;
    // Fewer than four bytes for the extension header.
    EXPECT_FALSE(packet.Parse(Header(0x90) + std::vector<uint8_t>{0xBE, 0xDE, 0x00}));
    // Length announces two words, one is present.
    EXPECT_FALSE(packet.Parse(Header(0x90) + std::vector<uint8_t>{0xBE, 0xDE, 0x00, 0x02, 1, 2, 3, 4}));
    // Length 0xFFFF must not overflow the bounds check.
    EXPECT_FALSE(packet.Parse(Header(0x90) + std::vector<uint8_t>{0xBE, 0xDE, 0xFF, 0xFF, 1, 2, 3, 4}));
}

TEST(CRTPPacket, PaddingCountsAfterCsrcAndExtension) {
    CRTPPacket packet;
    const auto datagram = Header(0xB1) + std::vector<uint8_t>{1, 1, 1, 1} +
                          std::vector<uint8_t>{0xBE, 0xDE, 0x00, 0x00} + std::vector<uint8_t>{5, 6, 2};
    ASSERT_TRUE(packet.Parse(datagram));
    EXPECT_EQ(packet.GetPayloadSize(), 1u);
    EXPECT_EQ(packet.GetPayload()[0], 5);
    EXPECT_FALSE(packet.Parse(Header(0xB1) + std::vector<uint8_t>{1, 1, 1, 1} +
                              std::vector<uint8_t>{0xBE, 0xDE, 0x00, 0x00} + std::vector<uint8_t>{5, 6, 4}));
}

TEST(CRTPPacket, FailedParseLeavesAnEmptyPacket) {
    CRTPPacket packet;
    ASSERT_TRUE(packet.Parse(Header(0x82) + std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_FALSE(packet.Parse(Header(0x40) + std::vector<uint8_t>{1}));
    EXPECT_EQ(packet.GetCsrcCount(), 0);
    EXPECT_EQ(packet.GetPayloadSize(), 0u);
    EXPECT_TRUE(packet.GetCsrcList().empty());
}

} // namespace
} // namespace talvex

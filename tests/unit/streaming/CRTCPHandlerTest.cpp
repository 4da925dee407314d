#include "streaming/CRTCPHandler.h"

#include <gtest/gtest.h>

#include "platform/CSocket.h"

#include <arpa/inet.h>

#include <atomic>
#include <vector>

namespace talvex {
namespace {

sockaddr_in Address(const char* dotted, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, dotted, &address.sin_addr);
    address.sin_port = htons(port);
    return address;
}

// SR from SSRC 0x11223344 with NTP time 0xAAAABBBB:CCCCDDDD.
std::vector<uint8_t> SenderReport() {
    return {0x80, 200, 0x00, 0x06, 0x11, 0x22, 0x33, 0x44, 0xAA, 0xAA, 0xBB, 0xBB, 0xCC, 0xCC, 0xDD, 0xDD,
            0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x01, 0x00};
}

std::vector<uint8_t> SourceDescription() {
    return {0x81, 202, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x01, 0x01, 'x', 0x00};
}

std::vector<uint8_t> Bye() {
    return {0x81, 203, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct ByeCounter : IRTCPHandlerUser {
    void OnPeerBye() override { ++byes; }
    std::atomic<int> byes{0};
};

// The camera's RTCP socket on loopback.
class FakeCamera {
public:
    explicit FakeCamera(const char* address = "127.0.0.1") {
        m_socket.CreateUdp();
        sockaddr_in bound = Address(address, 0);
        m_socket.Bind(bound.sin_addr.s_addr, 0);
    }
    void Send(const std::vector<uint8_t>& datagram, uint16_t handlerPort) {
        ASSERT_TRUE(m_socket.SendTo(datagram, Address("127.0.0.1", handlerPort)));
    }
    // The next datagram within the time-out; empty when none came.
    std::vector<uint8_t> Receive(int timeoutMs) {
        std::vector<uint8_t> buffer(1500);
        size_t received = 0;
        sockaddr_in from{};
        if (m_socket.ReceiveFrom(buffer, received, from, CSocket::kNoStop, timeoutMs) != SocketResult::Data)
            return {};
        buffer.resize(received);
        return buffer;
    }

private:
    CSocket m_socket;
};

uint32_t Loopback() {
    return htonl(INADDR_LOOPBACK);
}

uint32_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
    return (uint32_t(bytes[offset]) << 24) | (uint32_t(bytes[offset + 1]) << 16) | (uint32_t(bytes[offset + 2]) << 8) |
           bytes[offset + 3];
}

TEST(CRTCPHandler, DelayOfTwoHundredFiftyMsIsDlsr16384) {
    RTCPReportState state;
    state.ownSsrc = {1, 2, 3, 4};
    state.senderSsrc = {5, 6, 7, 8};
    state.lastSenderReport = 0xBBBBCCCC;
    state.senderReportArrivalMs = 1000;
    state.reception.extendedHighestSequence = 0x00010002;
    const auto report = CRTCPHandler::BuildReceiverReport(state, 1250);
    const std::vector<uint8_t> bytes(report.begin(), report.end());
    EXPECT_EQ(Word(bytes, 0), 0x81C90007u);
    EXPECT_EQ(Word(bytes, 4), 0x01020304u);
    EXPECT_EQ(Word(bytes, 8), 0x05060708u);
    EXPECT_EQ(Word(bytes, 12), 0u);
    EXPECT_EQ(Word(bytes, 16), 0x00010002u);
    EXPECT_EQ(Word(bytes, 20), 0u);
    EXPECT_EQ(Word(bytes, 24), 0xBBBBCCCCu);
    EXPECT_EQ(Word(bytes, 28), 16384u);
}

TEST(CRTCPHandler, OpenNeedsACameraAddressAndOnlyOnce) {
    CRTCPHandler handler;
    EXPECT_FALSE(handler.Open(0, 0));
    ASSERT_TRUE(handler.Open(Loopback(), 0));
    EXPECT_NE(handler.GetLocalPort(), 0);
    EXPECT_FALSE(handler.Open(Loopback(), 0));
    handler.Close();
    EXPECT_EQ(handler.GetLocalPort(), 0);
}

TEST(CRTCPHandler, NoReportBeforeASenderReport) {
    FakeCamera camera;
    CRTCPHandler handler;
    ASSERT_TRUE(handler.Open(Loopback(), 0));
    camera.Send(SourceDescription(), handler.GetLocalPort());
    camera.Send(Bye(), handler.GetLocalPort());
    EXPECT_TRUE(camera.Receive(300).empty());
    handler.Close();
    EXPECT_TRUE(camera.Receive(100).empty()); // no BYE either
}

TEST(CRTCPHandler, CompoundSenderReportIsAnsweredAtOnce) {
    FakeCamera camera;
    CRTCPHandler handler;
    ASSERT_TRUE(handler.Open(Loopback(), 0));
    for (uint16_t sequence : {65534, 65535, 0, 1})
        handler.OnPacket(sequence, 0, 0);
    camera.Send(SenderReport() + SourceDescription(), handler.GetLocalPort());
    const std::vector<uint8_t> report = camera.Receive(2000);
    ASSERT_EQ(report.size(), 32u);
    EXPECT_EQ(Word(report, 0), 0x81C90007u);
    EXPECT_EQ(Word(report, 8), 0x11223344u);
    EXPECT_EQ(Word(report, 16), 0x00010001u);
    EXPECT_EQ(Word(report, 24), 0xBBBBCCCCu);
    EXPECT_LT(Word(report, 28), 65536u); // answered within a second
}

TEST(CRTCPHandler, PeerByeAfterSenderReportIsPassedOnOnce) {
    FakeCamera camera;
    ByeCounter user;
    CRTCPHandler handler;
    handler.SetUser(&user);
    ASSERT_TRUE(handler.Open(Loopback(), 0));
    camera.Send(Bye(), handler.GetLocalPort());
    camera.Send(SenderReport(), handler.GetLocalPort());
    ASSERT_EQ(camera.Receive(2000).size(), 32u);
    camera.Send(Bye(), handler.GetLocalPort());
    camera.Send(Bye(), handler.GetLocalPort());
    for (int i = 0; i < 100 && user.byes == 0; ++i)
        camera.Receive(10);
    camera.Receive(100);
    EXPECT_EQ(user.byes, 1);
}

TEST(CRTCPHandler, CloseAfterSenderReportSaysByeOnce) {
    FakeCamera camera;
    CRTCPHandler handler;
    ASSERT_TRUE(handler.Open(Loopback(), 0));
    camera.Send(SenderReport(), handler.GetLocalPort());
    const std::vector<uint8_t> report = camera.Receive(2000);
    ASSERT_EQ(report.size(), 32u);
    handler.Close();
    const std::vector<uint8_t> bye = camera.Receive(1000);
    ASSERT_EQ(bye.size(), 8u);
    EXPECT_EQ(Word(bye, 0), 0x81CB0001u);
    EXPECT_EQ(Word(bye, 4), Word(report, 4)); // our own SSRC
    EXPECT_TRUE(camera.Receive(100).empty());
}

TEST(CRTCPHandler, DatagramsFromOtherAddressesAreIgnored) {
    FakeCamera stranger("127.0.0.2");
    CRTCPHandler handler;
    ASSERT_TRUE(handler.Open(Loopback(), 0));
    stranger.Send(SenderReport(), handler.GetLocalPort());
    EXPECT_TRUE(stranger.Receive(300).empty());
}

TEST(CRTCPHandler, TruncatedPacketsEndTheWalk) {
    FakeCamera camera;
    CRTCPHandler handler;
    ASSERT_TRUE(handler.Open(Loopback(), 0));
    std::vector<uint8_t> cut = SenderReport();
    cut.resize(20);
    camera.Send(cut, handler.GetLocalPort());
    camera.Send({0x80, 200, 0x00, 0x00}, handler.GetLocalPort()); // an SR without body
    EXPECT_TRUE(camera.Receive(300).empty());
}

TEST(RTPSequenceStatistics, ProbationWrapAndRestart) {
    RTPSequenceStatistics statistics;
    statistics.OnSequence(100);
    EXPECT_EQ(statistics.received, 0u); // on probation
    statistics.OnSequence(101);
    EXPECT_EQ(statistics.received, 1u);
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 101u);
    statistics.OnSequence(99); // reordered: counted, highest unchanged
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 101u);
    statistics.OnSequence(40000); // large jump: not accepted at once
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 101u);
    statistics.OnSequence(40001); // the next in sequence: the source restarted
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 40001u);
    for (uint32_t sequence = 40002; sequence <= 66002; sequence += 1000)
        statistics.OnSequence(uint16_t(sequence));
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 66002u); // one wrap in the high bits
}

} // namespace
} // namespace talvex

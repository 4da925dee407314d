#include "streaming/CRTCPHandler.h"

#include <gtest/gtest.h>

#include "platform/CSocket.h"
#include "support/Loopback.h"
#include "support/RtpPacketRecorder.h"
#include "support/WaitUntil.h"

#include <arpa/inet.h>

#include <ostream>
#include <span>
#include <vector>

namespace talvex {
namespace {

using test::Loopback;

// SR from SSRC 0x11223344 with NTP time 0xAAAABBBB:CCCCDDDD.
const std::vector<uint8_t> kSenderReport{0x80, 200,  0x00, 0x06, 0x11, 0x22, 0x33, 0x44, 0xAA, 0xAA,
                                         0xBB, 0xBB, 0xCC, 0xCC, 0xDD, 0xDD, 0x00, 0x00, 0x00, 0x01,
                                         0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x01, 0x00};

const std::vector<uint8_t> kSourceDescription{0x81, 202, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x01, 0x01, 'x', 0x00};
const std::vector<uint8_t> kBye{0x81, 203, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The camera's RTCP socket on a loopback address.
class FakeCamera {
public:
    explicit FakeCamera(const char* address = "127.0.0.1") {
        in_addr bound{};
        inet_pton(AF_INET, address, &bound);
        m_socket.CreateUdp();
        m_socket.Bind(bound.s_addr, 0);
    }
    void Send(const std::vector<uint8_t>& datagram, uint16_t handlerPort) {
        ASSERT_TRUE(m_socket.SendTo(datagram, Loopback(handlerPort)));
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

uint32_t Word(std::span<const uint8_t> bytes, size_t offset) {
    return (uint32_t(bytes[offset]) << 24) | (uint32_t(bytes[offset + 1]) << 16) | (uint32_t(bytes[offset + 2]) << 8) |
           bytes[offset + 3];
}

TEST(CRTCPHandler, ReceiverReportCarriesTheFiguresAndTheDelaySinceTheSenderReport) {
    RTCPReportState state;
    state.ownSsrc = {1, 2, 3, 4};
    state.senderSsrc = {5, 6, 7, 8};
    state.lastSenderReport = 0xBBBBCCCC;
    state.senderReportArrivalMs = 1000;
    state.reception = {40, -2, 65547, 204};
    const auto report = CRTCPHandler::BuildReceiverReport(state, 1250);
    const uint32_t expected[] = {0x81C90007u, 0x01020304u, 0x05060708u, 0x28FFFFFEu, // fraction 40, lost -2 in 24 bits
                                 0x0001000Bu, 204u,        0xBBBBCCCCu, 16384u};     // 250 ms in 1/65536 s
    for (size_t word = 0; word < 8; ++word)
        EXPECT_EQ(Word(report, 4 * word), expected[word]) << "word " << word;
}

TEST(CRTCPHandler, OpenNeedsACameraAddressAndOnlyOnce) {
    CRTCPHandler handler;
    EXPECT_FALSE(handler.Open(0, 0));
    ASSERT_TRUE(handler.Open(htonl(INADDR_LOOPBACK), 0));
    EXPECT_NE(handler.GetLocalPort(), 0);
    EXPECT_FALSE(handler.Open(htonl(INADDR_LOOPBACK), 0));
    handler.Close();
    EXPECT_EQ(handler.GetLocalPort(), 0);
}

// Datagrams that must get no receiver report, nor a BYE when the handler closes.
struct UnansweredCase {
    const char* name;
    const char* from;
    std::vector<std::vector<uint8_t>> datagrams;
};

void PrintTo(const UnansweredCase& value, std::ostream* out) { *out << value.name; }

class CRTCPHandlerUnanswered : public ::testing::TestWithParam<UnansweredCase> {};

TEST_P(CRTCPHandlerUnanswered, GetsNoReport) {
    FakeCamera camera(GetParam().from);
    CRTCPHandler handler;
    ASSERT_TRUE(handler.Open(htonl(INADDR_LOOPBACK), 0));
    for (const auto& datagram : GetParam().datagrams)
        camera.Send(datagram, handler.GetLocalPort());
    EXPECT_TRUE(camera.Receive(300).empty());
    handler.Close();
    EXPECT_TRUE(camera.Receive(100).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, CRTCPHandlerUnanswered,
    ::testing::Values(UnansweredCase{"SourceDescriptionAndByeBeforeASenderReport", "127.0.0.1", {kSourceDescription, kBye}},
                      UnansweredCase{"SenderReportFromAnotherAddress", "127.0.0.2", {kSenderReport}},
                      UnansweredCase{"TruncatedSenderReport", "127.0.0.1",
                                     {{kSenderReport.begin(), kSenderReport.begin() + 20}}},
                      UnansweredCase{"SenderReportWithoutBody", "127.0.0.1", {{0x80, 200, 0x00, 0x00}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A BYE before the first SR is ignored; a compound SR is answered at once with
// the reception figures, later BYEs are passed on once, and after a new SR
// closing says BYE once.
TEST(CRTCPHandler, SenderReportIsAnsweredAPeerByePassedOnOnceAndCloseSaysBye) {
    FakeCamera camera;
    test::RtpPacketRecorder user;
    CRTCPHandler handler;
    handler.SetUser(&user);
    ASSERT_TRUE(handler.Open(htonl(INADDR_LOOPBACK), 0));
    for (uint16_t sequence : {65534, 65535, 0, 1})
        handler.OnPacket(sequence, 0, 0);
    camera.Send(kBye, handler.GetLocalPort());
    camera.Send(kSenderReport + kSourceDescription, handler.GetLocalPort());
    const std::vector<uint8_t> report = camera.Receive(2000);
    ASSERT_EQ(report.size(), 32u);
    EXPECT_EQ(Word(report, 8), 0x11223344u);
    EXPECT_EQ(Word(report, 16), 0x00010001u);
    EXPECT_EQ(Word(report, 24), 0xBBBBCCCCu);
    EXPECT_LT(Word(report, 28), 65536u); // answered within a second
    EXPECT_EQ(user.byes, 0) << "a BYE before the sender report was passed on";

    camera.Send(kBye, handler.GetLocalPort());
    camera.Send(kBye, handler.GetLocalPort());
    EXPECT_TRUE(test::WaitUntil([&] { return user.byes > 0; }));
    camera.Receive(100);
    EXPECT_EQ(user.byes, 1);

    camera.Send(kSenderReport, handler.GetLocalPort());
    ASSERT_EQ(camera.Receive(2000).size(), 32u);
    handler.Close();
    const std::vector<uint8_t> bye = camera.Receive(1000);
    ASSERT_EQ(bye.size(), 8u);
    EXPECT_EQ(Word(bye, 0), 0x81CB0001u);
    EXPECT_EQ(Word(bye, 4), Word(report, 4)); // our own SSRC
    EXPECT_TRUE(camera.Receive(100).empty());
}

} // namespace
} // namespace talvex

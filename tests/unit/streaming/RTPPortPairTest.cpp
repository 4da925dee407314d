#include "streaming/RTPPortPair.h"

#include <gtest/gtest.h>

#include "platform/CSocket.h"
#include "support/Loopback.h"
#include "support/RtpPacketRecorder.h"

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace talvex {
namespace {

// The sockets of one stream and the events the search watches.
class RTPPortPair : public ::testing::Test {
protected:
    bool Open() { return OpenRTPPortPair(receiver, rtcpHandler, htonl(INADDR_LOOPBACK), stop, portBusy); }

    CRTPReceiver receiver;
    CRTCPHandler rtcpHandler;
    CManualEvent stop;
    CManualEvent portBusy;
};

TEST_F(RTPPortPair, StopEndsTheSearchOtherwiseAnEvenPortAndTheNextOneAreTaken) {
    stop.Set();
    EXPECT_FALSE(Open());
    EXPECT_EQ(receiver.GetLocalPort(), 0);
    stop.Reset();
    ASSERT_TRUE(Open());
    const uint16_t port = receiver.GetLocalPort();
    EXPECT_GE(port, FIRST_RTP_PORT);
    EXPECT_LT(port, RTP_PORT_LIMIT);
    EXPECT_EQ(port % 2, 0);
    EXPECT_EQ(rtcpHandler.GetLocalPort(), port + 1);
}

TEST_F(RTPPortPair, FailsWhenEveryPortIsTaken) {
    std::vector<CSocket> taken;
    for (uint32_t port = FIRST_RTP_PORT; port < RTP_PORT_LIMIT; ++port) {
        CSocket socket;
        ASSERT_TRUE(socket.CreateUdp());
        // A port another process holds is as good as one held here.
        if (socket.Bind(htonl(INADDR_ANY), uint16_t(port)))
            taken.push_back(std::move(socket));
    }
    EXPECT_FALSE(Open());
}

TEST_F(RTPPortPair, APortWithAnotherStreamOnItIsPassedOverEvenWithAManualBusyEvent) {
    // Another stream keeps arriving at the first port; the user marks a busy
    // port with a manual event, which must not make every later port look busy.
    test::RtpPacketRecorder marker;
    marker.keep = [this](const sockaddr_in&, const CRTPPacket&) { return portBusy.Set(); };
    receiver.SetUser(&marker);
    uint16_t busyPort = 0; // the first pair the search would take now (ports held elsewhere are passed over)
    for (uint32_t port = FIRST_RTP_PORT; port < RTP_PORT_LIMIT && busyPort == 0; port += 2) {
        CSocket rtp, rtcp;
        if (rtp.CreateUdp() && rtcp.CreateUdp() && rtp.Bind(htonl(INADDR_ANY), uint16_t(port)) &&
            rtcp.Bind(htonl(INADDR_ANY), uint16_t(port + 1)))
            busyPort = uint16_t(port);
    }
    ASSERT_NE(busyPort, 0);
    std::atomic<bool> streaming{true};
    std::thread stream([&] {
        CSocket sender;
        ASSERT_TRUE(sender.CreateUdp());
        const std::vector<uint8_t> packet{0x80, 0x60, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0x55};
        while (streaming) {
            sender.SendTo(packet, test::Loopback(busyPort));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const bool opened = Open();
    streaming = false;
    stream.join();
    ASSERT_TRUE(opened);
    EXPECT_GT(receiver.GetLocalPort(), busyPort);
    EXPECT_EQ(receiver.GetLocalPort() % 2, 0);
    receiver.Close(); // before the marker goes
}

} // namespace
} // namespace talvex

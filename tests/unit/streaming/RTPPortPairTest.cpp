#include "streaming/RTPPortPair.h"

#include <gtest/gtest.h>

#include "platform/CSocket.h"

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace talvex {
namespace {

TEST(RTPPortPair, TakesAnEvenPortAndTheNextOne) {
    CRTPReceiver receiver;
    CRTCPHandler rtcpHandler;
    CManualEvent stop;
    CManualEvent portBusy;
    ASSERT_TRUE(OpenRTPPortPair(receiver, rtcpHandler, htonl(INADDR_LOOPBACK), stop, portBusy));
    const uint16_t port = receiver.GetLocalPort();
    EXPECT_GE(port, FIRST_RTP_PORT);
    EXPECT_LT(port, RTP_PORT_LIMIT);
    EXPECT_EQ(port % 2, 0);
    EXPECT_EQ(rtcpHandler.GetLocalPort(), port + 1);
}

TEST(RTPPortPair, StopEndsTheSearch) {
    CRTPReceiver receiver;
    CRTCPHandler rtcpHandler;
    CManualEvent stop;
    CManualEvent portBusy;
    stop.Set();
    EXPECT_FALSE(OpenRTPPortPair(receiver, rtcpHandler, htonl(INADDR_LOOPBACK), stop, portBusy));
    EXPECT_EQ(receiver.GetLocalPort(), 0);
}

TEST(RTPPortPair, FailsWhenEveryPortIsTaken) {
    std::vector<CSocket> taken;
    for (uint32_t port = FIRST_RTP_PORT; port < RTP_PORT_LIMIT; ++port) {
        CSocket socket;
        ASSERT_TRUE(socket.CreateUdp());
        // A port another process holds is as good as one held here.
        if (socket.Bind(htonl(INADDR_ANY), uint16_t(port)))
            taken.push_back(std::move(socket));
    }
    CRTPReceiver receiver;
    CRTCPHandler rtcpHandler;
    CManualEvent stop;
    CManualEvent portBusy;
    EXPECT_FALSE(OpenRTPPortPair(receiver, rtcpHandler, htonl(INADDR_LOOPBACK), stop, portBusy));
}

// The first pair the search would take now (ports held elsewhere are passed over).
uint16_t FirstFreePair() {
    for (uint32_t port = FIRST_RTP_PORT; port < RTP_PORT_LIMIT; port += 2) {
        CSocket rtp, rtcp;
        if (rtp.CreateUdp() && rtcp.CreateUdp() && rtp.Bind(htonl(INADDR_ANY), uint16_t(port)) &&
            rtcp.Bind(htonl(INADDR_ANY), uint16_t(port + 1)))
            return uint16_t(port);
    }
    return 0;
}

TEST(RTPPortPair, APortWithAnotherStreamOnItIsPassedOverEvenWithAManualBusyEvent) {
    // Another stream keeps arriving at the first port; the user marks a busy
    // port with a manual event, which must not make every later port look busy.
    struct BusyMarker : IRTPReceiverUser {
        explicit BusyMarker(CEvent& event) : busy(event) {}
        void OnRTPPacket(const sockaddr_in&, const CRTPPacket&) override { busy.Set(); }
        void OnReceiveTimeout() override {}
        void OnClosed() override {}
        CEvent& busy;
    };
    CManualEvent stop;
    CManualEvent portBusy;
    BusyMarker marker(portBusy);
    CRTPReceiver receiver;
    receiver.SetUser(&marker);
    CRTCPHandler rtcpHandler;
    const uint16_t busyPort = FirstFreePair();
    ASSERT_NE(busyPort, 0);
    std::atomic<bool> streaming{true};
    std::thread stream([&] {
        CSocket sender;
        ASSERT_TRUE(sender.CreateUdp());
        sockaddr_in first{};
        first.sin_family = AF_INET;
        first.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        first.sin_port = htons(busyPort);
        const std::vector<uint8_t> packet{0x80, 0x60, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0x55};
        while (streaming) {
            sender.SendTo(packet, first);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const bool opened = OpenRTPPortPair(receiver, rtcpHandler, htonl(INADDR_LOOPBACK), stop, portBusy);
    streaming = false;
    stream.join();
    ASSERT_TRUE(opened);
    EXPECT_GT(receiver.GetLocalPort(), busyPort);
    EXPECT_EQ(receiver.GetLocalPort() % 2, 0);
}

} // namespace
} // namespace talvex

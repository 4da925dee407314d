#include "streaming/RTPPortPair.h"

#include <gtest/gtest.h>

#include "platform/CSocket.h"

#include <arpa/inet.h>

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

} // namespace
} // namespace talvex

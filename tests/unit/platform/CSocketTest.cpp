#include "platform/CSocket.h"
#include "support/Loopback.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

namespace talvex {
namespace {

using test::Loopback;

struct StopFd {
    StopFd() : fd(eventfd(0, EFD_CLOEXEC)) {}
    ~StopFd() { close(fd); }
    void Signal() const {
        uint64_t one = 1;
        EXPECT_EQ(write(fd, &one, sizeof one), ssize_t(sizeof one));
    }
    int fd;
};

// A socket bound to an ephemeral loopback port.
void BindLoopback(CSocket& socket, bool tcp) {
    ASSERT_TRUE(tcp ? socket.CreateTcp() : socket.CreateUdp());
    ASSERT_TRUE(socket.Bind(htonl(INADDR_LOOPBACK), 0));
}

TEST(CSocket, StartupAndCleanupAreCounted) {
    const int before = GetSocketStartupCount();
    SocketStartup();
    SocketStartup();
    EXPECT_EQ(GetSocketStartupCount(), before + 2);
    SocketCleanup();
    SocketCleanup();
    EXPECT_EQ(GetSocketStartupCount(), before);
}

TEST(CSocket, SteppedConnectFailsOnAClosedPortReachesAListenerAndExchangesBytes) {
    CSocket probe, listener;
    BindLoopback(probe, true);
    const uint16_t unusedPort = probe.GetLocalPort();
    probe.Close();
    BindLoopback(listener, true);
    ASSERT_TRUE(listener.Listen(1));
    CSocket refused, client;
    ASSERT_TRUE(refused.CreateTcp());
    EXPECT_FALSE(refused.ConnectStepped(Loopback(unusedPort), 5, 100, CSocket::kNoStop));
    ASSERT_TRUE(client.CreateTcp());
    ASSERT_TRUE(client.ConnectStepped(Loopback(listener.GetLocalPort()), 50, 100, CSocket::kNoStop));
    CSocket server;
    sockaddr_in peer{};
    ASSERT_EQ(listener.Accept(server, peer, CSocket::kNoStop, 1000), SocketResult::Data);

    const std::vector<uint8_t> hello{'h', 'i'};
    ASSERT_TRUE(client.SendAll(hello, CSocket::kNoStop, 1000));
    std::vector<uint8_t> buffer(16);
    size_t received = 0;
    ASSERT_EQ(server.Receive(buffer, received, CSocket::kNoStop, 1000), SocketResult::Data);
    EXPECT_EQ(received, 2u);
    server.Close();
    EXPECT_EQ(client.Receive(buffer, received, CSocket::kNoStop, 1000), SocketResult::Closed);
}

TEST(CSocket, ReceiveEndsOnStopTimeOutOrAnOversizedDatagram) {
    CSocket udp, sender;
    BindLoopback(udp, false);
    StopFd stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.Signal();
    });
    std::vector<uint8_t> buffer(10);
    size_t received = 0;
    sockaddr_in from{};
    EXPECT_EQ(udp.ReceiveFrom(buffer, received, from, stop.fd, 10000), SocketResult::Stopped);
    stopper.join();
    EXPECT_EQ(udp.ReceiveFrom(buffer, received, from, CSocket::kNoStop, 20), SocketResult::TimedOut);
    ASSERT_TRUE(sender.CreateUdp());
    ASSERT_TRUE(sender.SendTo(std::vector<uint8_t>(100, 7), Loopback(udp.GetLocalPort())));
    EXPECT_EQ(udp.ReceiveFrom(buffer, received, from, CSocket::kNoStop, 1000), SocketResult::Truncated);
    EXPECT_EQ(received, 10u);
}

TEST(CSocket, BatchReadTakesWhatIsQueuedAndMarksCutDatagrams) {
    CSocket receiver, sender;
    BindLoopback(receiver, false);
    ASSERT_TRUE(sender.CreateUdp());
    const sockaddr_in target = Loopback(receiver.GetLocalPort());
    ASSERT_TRUE(sender.SendTo(std::vector<uint8_t>(5, 1), target));
    ASSERT_TRUE(sender.SendTo(std::vector<uint8_t>(50, 2), target));
    ASSERT_TRUE(sender.SendTo(std::vector<uint8_t>(7, 3), target));
    std::vector<uint8_t> storage(4 * 16);
    std::vector<DatagramSlot> slots(4);
    for (size_t i = 0; i < slots.size(); ++i)
        slots[i].buffer = std::span<uint8_t>(storage).subspan(i * 16, 16);
    size_t filled = 0;
    EXPECT_EQ(receiver.ReceiveBatchNow(slots, filled), SocketResult::Data);
    ASSERT_EQ(filled, 3u);
    EXPECT_EQ(slots[0].received, 5u);
    EXPECT_FALSE(slots[0].truncated);
    EXPECT_EQ(slots[0].buffer[0], 1);
    EXPECT_TRUE(slots[1].truncated);
    EXPECT_EQ(slots[2].received, 7u);
    EXPECT_EQ(slots[2].buffer[0], 3);
    EXPECT_EQ(slots[2].from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    // Nothing queued: no wait, and the caller hears so.
    EXPECT_EQ(receiver.ReceiveBatchNow(slots, filled), SocketResult::TimedOut);
    EXPECT_EQ(filled, 0u);
}

TEST(CSocket, ResolvesDottedAddresses) {
    sockaddr_in address{};
    ASSERT_TRUE(ResolveIPv4("127.0.0.1", 554, address));
    EXPECT_EQ(FormatIPv4(address), "127.0.0.1");
    EXPECT_EQ(ntohs(address.sin_port), 554);
    EXPECT_FALSE(ResolveIPv4("", 554, address));
    in_addr parsed{};
    EXPECT_TRUE(ParseIPv4("239.1.1.1", parsed));
    EXPECT_FALSE(ParseIPv4("none", parsed));
}

} // namespace
} // namespace talvex

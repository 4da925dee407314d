#include "streaming/CBaseRTPDataChannel.h"

#include <gtest/gtest.h>

#include "platform/CSocket.h"
#include "streaming/RTPPortPair.h"
#include "support/FakeDriver.h"
#include "support/WaitUntil.h"

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace talvex {
namespace {

class CountingChannel : public CBaseRTPDataChannel {
public:
    using CBaseRTPDataChannel::CBaseRTPDataChannel;
    ~CountingChannel() override { StopThread(5000); }

    bool Start() { return StartThread("test data channel"); }
    void Stop() { StopThread(5000); }
    uint16_t Port() const { return GetReceiverPort(); }

    std::atomic<int> connects{0}, packets{0}, opened{0}, closed{0}, stopped{0};
    std::atomic<uint16_t> openedPort{0};

protected:
    bool ConnectHook() override {
        ++connects;
        return true;
    }
    void PacketHook(const CRTPPacket&) override { ++packets; }
    void KeepAliveHook() override {}
    void ReceiversOpened() override {
        openedPort = GetReceiverPort();
        ++opened;
    }
    void ReceiversClosed() override { ++closed; }
    void StoppedHook() override { ++stopped; }
};

using test::WaitUntil;

TEST(CBaseRTPDataChannel, OpensAPortPairTakesPacketsAndClosesOnStop) {
    test::FakeDriver driver("127.0.0.1");
    CountingChannel channel(&driver);
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(WaitUntil([&] { return channel.opened == 1; }));
    EXPECT_EQ(channel.connects, 1);
    const uint16_t port = channel.openedPort;
    EXPECT_GE(port, FIRST_RTP_PORT);

    CSocket camera;
    ASSERT_TRUE(camera.CreateUdp());
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(port);
    const std::vector<uint8_t> packet{0x80, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0xFF};
    ASSERT_TRUE(camera.SendTo(packet, target));
    EXPECT_TRUE(WaitUntil([&] { return channel.packets == 1; }));

    channel.Stop();
    EXPECT_EQ(channel.stopped, 1);
    EXPECT_GE(channel.closed, 2); // before connecting and at the end
    EXPECT_EQ(channel.Port(), 0);
}

} // namespace
} // namespace talvex

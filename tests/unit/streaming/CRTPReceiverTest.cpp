#include "streaming/CRTPReceiver.h"

#include <gtest/gtest.h>

#include "platform/CSocket.h"
#include "streaming/CUDPClient.h"
#include "support/RtpPacketRecorder.h"
#include "support/WaitUntil.h"
#include "support/Loopback.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace talvex {
namespace {

using test::Loopback;

std::vector<uint8_t> RtpDatagram(uint16_t sequence, size_t payloadBytes) {
    std::vector<uint8_t> datagram{0x80, 0x60, uint8_t(sequence >> 8), uint8_t(sequence), 0, 0, 0, 1, 0, 0, 0, 2};
    datagram.resize(12 + payloadBytes, 0x55);
    return datagram;
}

// Records packets; with `block` set it holds the delivery thread in its first packet until released.
class RecordingUser : public test::RtpPacketRecorder {
public:
    void OnPacket(size_t count) override {
        if (!block || count != 1)
            return;
        blocked = true;
        while (!released)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> block{false};
    std::atomic<bool> blocked{false};
    std::atomic<bool> released{false};
};

// A receiver open on a free loopback port, its recording user, and a sender aimed at it.
class ReceiverOnLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        receiver.SetUser(&user);
        ASSERT_TRUE(receiver.Open(0));
        ASSERT_TRUE(sender.CreateUdp());
        target = Loopback(receiver.GetLocalPort());
    }
    void TearDown() override { user.released = true; }

    RecordingUser user;
    CRTPReceiver receiver;
    CSocket sender;
    sockaddr_in target{};
};

TEST_F(ReceiverOnLoopback, DeliversValidPacketsInArrivalOrderAndDropsInvalidOnes) {
    CRTPReceiver second;
    EXPECT_FALSE(second.Open(receiver.GetLocalPort())) << "a second receiver opened on the same port";
    EXPECT_EQ(second.GetLocalPort(), 0);
    for (uint16_t sequence : {5, 3, 4})
        ASSERT_TRUE(sender.SendTo(RtpDatagram(sequence, 10), target));
    ASSERT_TRUE(sender.SendTo(std::vector<uint8_t>(12, 0x80), target));
    ASSERT_TRUE(sender.SendTo(RtpDatagram(6, 1), target));
    ASSERT_TRUE(user.WaitForPackets(4));
    EXPECT_EQ(user.Sequences(), (std::vector<uint16_t>{5, 3, 4, 6}));
    receiver.Close();
    EXPECT_EQ(receiver.GetLocalPort(), 0);
}

TEST_F(ReceiverOnLoopback, BurstsAndLonePacketsAllArriveInOrder) {
    // Bursts are read in batches and the delivery thread woken once per batch;
    // lone packets in between must still wake it every time.
    std::vector<uint16_t> sent;
    uint16_t sequence = 0;
    for (int round = 0; round < 20; ++round) {
        const int burst = round % 2 ? 1 : 60; // more than one recvmmsg batch
        for (int i = 0; i < burst; ++i) {
            ASSERT_TRUE(sender.SendTo(RtpDatagram(sequence, 1400), target));
            sent.push_back(sequence++);
        }
        ASSERT_TRUE(user.WaitForPackets(sent.size())) << "round " << round;
    }
    EXPECT_EQ(user.Sequences(), sent);
}

TEST_F(ReceiverOnLoopback, TruncatedDatagramInsideABatchIsLostAloneAndTheBufferGrows) {
    // Sent back to back, the datagrams after the first wait to be read as one batch.
    for (uint16_t sequence = 0; sequence < 5; ++sequence)
        ASSERT_TRUE(sender.SendTo(RtpDatagram(sequence, sequence == 2 ? 2000 : 100), target));
    ASSERT_TRUE(user.WaitForPackets(4));
    ASSERT_TRUE(sender.SendTo(RtpDatagram(5, 2000), target));
    ASSERT_TRUE(user.WaitForPackets(5));
    EXPECT_EQ(user.Sequences(), (std::vector<uint16_t>{0, 1, 3, 4, 5}));
}

TEST_F(ReceiverOnLoopback, QueueKeepsTheOldestPacketsUpToItsCap) {
    user.block = true;
    ASSERT_TRUE(sender.SendTo(RtpDatagram(0, 16), target));
    ASSERT_TRUE(test::WaitUntil([&] { return user.blocked.load(); }));
    constexpr uint16_t kSent = CRTPReceiver::MAX_QUEUED_PACKETS + 800;
    for (uint16_t sequence = 1; sequence <= kSent; ++sequence) {
        ASSERT_TRUE(sender.SendTo(RtpDatagram(sequence, 16), target));
        if (sequence % 50 == 0) // paced: the socket buffer must not be what drops them
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    user.released = true;
    ASSERT_TRUE(user.WaitForPackets(1 + CRTPReceiver::MAX_QUEUED_PACKETS));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto sequences = user.Sequences();
    EXPECT_EQ(sequences.size(), 1 + CRTPReceiver::MAX_QUEUED_PACKETS);
    EXPECT_EQ(sequences.back(), CRTPReceiver::MAX_QUEUED_PACKETS) << "not the oldest packets kept";
}

TEST_F(ReceiverOnLoopback, ReportsReceiveTimeouts) {
    receiver.SetTimeout(0); // select time-out of 0 ms: every idle wait is a time-out
    EXPECT_TRUE(user.WaitForTimeouts(2));
}

struct ClientCounter : IRTPClientUser {
    void OnData(IRTPClient*, const sockaddr_in&, std::span<const uint8_t>) override { ++datagrams; }
    void OnReceiveTimeout(IRTPClient*) override {}
    void OnClosed(IRTPClient*) override { ++closed; }
    std::atomic<int> datagrams{0};
    std::atomic<int> closed{0};
};

TEST(CUDPClient, BufferGrowsBy1024AfterATruncatedDatagram) {
    ClientCounter counter;
    CUDPClient client;
    EXPECT_FALSE(client.OpenMulticast(&counter, "none", 0)) << "multicast without a dotted group";
    client.SetBufferSize(1536);
    ASSERT_TRUE(client.Open(&counter, 0));
    CSocket sender;
    ASSERT_TRUE(sender.CreateUdp());
    ASSERT_TRUE(sender.SendTo(std::vector<uint8_t>(2000, 1), Loopback(client.GetLocalPort())));
    test::WaitUntil([&] { return client.GetBufferSize() != 1536; });
    EXPECT_EQ(client.GetBufferSize(), 2560u);
    EXPECT_EQ(counter.datagrams, 0);
    EXPECT_TRUE(client.Close());
    EXPECT_EQ(counter.closed, 1);
    EXPECT_FALSE(client.Close());
}

} // namespace
} // namespace talvex

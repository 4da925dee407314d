#include "channels/CBaseRTPChannel.h"

#include "support/WaitUntil.h"
#include "support/FakeChannelHost.h"
#include "unit/channels/FakeTransportChannel.h"
#include "unit/video/VideoTestData.h"
#include "video/FrameTypes.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using test::FakeChannelSink;
using test::FakeDriver;
using test::FakeTransportChannel;
using test::SteadyTime;
using test::WaitUntil;

// Shortened device time-outs: T1 = 200 ms, T2 = 800 ms, so W = 400 ms.
constexpr uint32_t kT1 = 200;
constexpr uint32_t kT2 = 800;

class CBaseRTPChannelTest : public ::testing::Test {
protected:
    CBaseRTPChannelTest() : driver("127.0.0.1", 80) {
        driver.m_device.firstTimeoutMs = kT1;
        driver.m_device.secondTimeoutMs = kT2;
    }

    static ChannelStartParameters Recording(uint16_t width = 640, uint16_t height = 480) {
        ChannelStartParameters parameters;
        parameters.width = width;
        parameters.height = height;
        return parameters;
    }
    static int64_t MsBetween(SteadyTime earlier, SteadyTime later) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(later - earlier).count();
    }
    // Sends frames every 40 ms until the channel streams, then a few more; returns when the last went out.
    SteadyTime StreamFor(FakeTransportChannel& channel, std::chrono::milliseconds duration) {
        const auto end = std::chrono::steady_clock::now() + duration;
        SteadyTime last;
        while (std::chrono::steady_clock::now() < end) {
            channel.SendFrame();
            last = std::chrono::steady_clock::now();
            std::this_thread::sleep_for(40ms);
        }
        return last;
    }

    FakeDriver driver;
    FakeChannelSink sink;
};

TEST_F(CBaseRTPChannelTest, SignalIsLostAfterHalfTheSecondTimeOutAndReportedAfterIt) {
    FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    channel.SendFrame();
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }));
    const SteadyTime lastFrame = StreamFor(channel, 300ms);

    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelSignalLost; }, 5000ms));
    const SteadyTime lost = std::chrono::steady_clock::now();
    EXPECT_GE(MsBetween(lastFrame, lost), kT2 / 2);
    ASSERT_TRUE(WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, 5000ms));
    EXPECT_GE(MsBetween(lastFrame, sink.SignalLostTimes().front()), kT2);
    // The notice repeats while the signal stays lost; the line is logged once.
    ASSERT_TRUE(WaitUntil([&] { return sink.SignalLostTimes().size() >= 2; }, 5000ms));
    EXPECT_TRUE(driver.HasLine(1, "Signal was lost for camera 127.0.0.1 (Recording)"));
    EXPECT_EQ(test::CountLines(driver, "Signal was lost"), 1u);
    channel.Stop();
}

// The moment itself: at W, within one pass of the worker (1 s while streaming),
// with a second time-out long enough to tell W from T2.
TEST_F(CBaseRTPChannelTest, SignalIsLostAtHalfTheSecondTimeOutNotAtIt) {
    constexpr uint32_t kLongT2 = 3000;
    driver.m_device.secondTimeoutMs = kLongT2;
    FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    channel.SendFrame();
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }));
    const SteadyTime lastFrame = StreamFor(channel, 100ms);
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelSignalLost; }, 5000ms));
    const int64_t lostAfter = MsBetween(lastFrame, std::chrono::steady_clock::now());
    EXPECT_GE(lostAfter, kLongT2 / 2);
    EXPECT_LT(lostAfter, kLongT2 / 2 + CBaseRTPChannel::kSlowPassMs + 300) << "lost later than W";
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, UnreachableCameraIsTriedOncePerSecondAndNeverOnline) {
    FakeTransportChannel channel(&driver, &sink);
    channel.reachable = false;
    ASSERT_TRUE(channel.Start(Recording()));
    std::this_thread::sleep_for(2600ms);
    channel.Stop();
    const std::vector<SteadyTime> attempts = channel.ConnectAttempts();
    ASSERT_GE(attempts.size(), 2u);
    EXPECT_LE(attempts.size(), 4u);
    for (size_t i = 1; i < attempts.size(); ++i) {
        EXPECT_GE(MsBetween(attempts[i - 1], attempts[i]), 950);
        EXPECT_LE(MsBetween(attempts[i - 1], attempts[i]), 1800);
    }
    EXPECT_EQ(test::CountLines(driver, "is online"), 0u);
    EXPECT_EQ(channel.GetState(), kChannelStopped);
}

TEST_F(CBaseRTPChannelTest, FirstFrameLogsTheOnlineLineOnceAndStopTheOfflineLine) {
    FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(channel.SendFrame());
    EXPECT_EQ(sink.FrameCount(), 5u);
    EXPECT_TRUE(driver.HasLine(3, "Camera 127.0.0.1 (Recording) is online"));
    EXPECT_EQ(test::CountLines(driver, "is online"), 1u);
    channel.Stop();
    EXPECT_EQ(channel.GetState(), kChannelStopped);
    EXPECT_TRUE(driver.HasLine(3, "Camera 127.0.0.1 (Recording) is offline"));
    EXPECT_GE(channel.sessionsStopped.load(), 1);
}

TEST_F(CBaseRTPChannelTest, SuspendAndResumeAnswerOnlyARealChange) {
    FakeTransportChannel channel(&driver, &sink);
    EXPECT_FALSE(channel.Resume());
    EXPECT_TRUE(channel.Suspend());
    EXPECT_FALSE(channel.Suspend());
    EXPECT_TRUE(channel.Resume());
    EXPECT_FALSE(channel.Resume());
}

TEST_F(CBaseRTPChannelTest, SuspendedChannelDropsFramesAsDeliveredAndKeepsItsState) {
    FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    channel.SendFrame();
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }));
    ASSERT_TRUE(channel.Suspend());
    const size_t before = sink.FrameCount();
    EXPECT_TRUE(channel.SendFrame());
    EXPECT_EQ(sink.FrameCount(), before);
    // No frames while suspended is no signal loss.
    std::this_thread::sleep_for(std::chrono::milliseconds(kT2 + 1200));
    EXPECT_EQ(channel.GetState(), kChannelStreaming);
    EXPECT_TRUE(sink.SignalLostTimes().empty());
    ASSERT_TRUE(channel.Resume());
    EXPECT_TRUE(channel.SendFrame());
    EXPECT_EQ(sink.FrameCount(), before + 1);
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, PacketsFromAnotherAddressNeverReachTheChannel) {
    FakeTransportChannel channel(&driver, &sink);
    const CRTPPacket packet = test::MakeRtpPacket(1, 1000, true, std::vector<uint8_t>{0x65, 1, 2});
    sockaddr_in other{};
    other.sin_family = AF_INET;
    other.sin_addr.s_addr = inet_addr("10.9.9.9");
    channel.OnRTPPacket(other, packet);
    EXPECT_EQ(channel.packets.load(), 0);
    sockaddr_in camera = other;
    camera.sin_addr.s_addr = inet_addr("127.0.0.1");
    channel.OnRTPPacket(camera, packet);
    EXPECT_EQ(channel.packets.load(), 1);
}

TEST_F(CBaseRTPChannelTest, LostConnectionReconnectsWithoutWaitingForTheTimer) {
    FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    channel.SendFrame();
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }));
    const size_t attempts = channel.ConnectAttempts().size();
    channel.LoseConnection();
    channel.SendFrame(); // the timer alone would keep the channel streaming
    ASSERT_TRUE(WaitUntil([&] { return channel.ConnectAttempts().size() > attempts; }, 3000ms));
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, StopBreaksABlockedSessionStartPromptly) {
    FakeTransportChannel channel(&driver, &sink);
    channel.blockInSession = true;
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    std::this_thread::sleep_for(50ms);
    const SteadyTime before = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(MsBetween(before, std::chrono::steady_clock::now()), 1000);
    EXPECT_EQ(channel.GetState(), kChannelStopped);
    EXPECT_EQ(test::CountLines(driver, "Unable to stop"), 0u);
}

TEST_F(CBaseRTPChannelTest, StartTwiceRefusesTheSecondAndRestartRunsAgain) {
    FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start(Recording()));
    EXPECT_FALSE(channel.Start(Recording()));
    ChannelStartParameters next = Recording(320, 240);
    next.secondValue = 77;
    EXPECT_TRUE(channel.Restart(next));
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{320, 240}));
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, PictureSizeComesFromTheLastKeyFrameElseTheConfiguredOne) {
    FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start(Recording(640, 480)));
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{640, 480}));
    channel.SendFrame(kTypeH264Frame, 176, 144);
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{640, 480}));
    channel.SendFrame(kTypeH264KeyFrame, 1280, 720);
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{1280, 720}));
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, RefusedFrameIsNotDeliveredAndThrowingSinkIsLogged) {
    FakeTransportChannel channel(&driver, &sink);
    sink.accept = false;
    EXPECT_FALSE(channel.SendFrame());
    EXPECT_EQ(test::CountLines(driver, "is online"), 0u);
    sink.throwOnFrame = true;
    EXPECT_FALSE(channel.SendFrame());
    EXPECT_TRUE(driver.HasLine(1, "Unhandled exception in driver instance for device 127.0.0.1:80"));
}

class RecordingEdgeMonitor : public IEdgeStorageCallback {
public:
    void OnFrameTime(uint32_t channelIndex, uint64_t time) override {
        std::lock_guard lock(mutex);
        times.emplace_back(channelIndex, time);
    }
    void OnSignalLost(uint32_t channelIndex) override { lost.push_back(channelIndex); }
    std::mutex mutex;
    std::vector<std::pair<uint32_t, uint64_t>> times;
    std::vector<uint32_t> lost;
};

TEST_F(CBaseRTPChannelTest, EdgeMonitorHearsEveryDeliveredFrameTime) {
    FakeTransportChannel channel(&driver, &sink);
    RecordingEdgeMonitor monitor;
    channel.SetEdgeMonitor(&monitor);
    test::FakeVideoFrame frame(kTypeH264KeyFrame, 4);
    frame.SetTypeCode(kTypeH264KeyFrame);
    frame.SetTime(123456789);
    EXPECT_TRUE(channel.DeliverFrame(&frame));
    ASSERT_EQ(monitor.times.size(), 1u);
    EXPECT_EQ(monitor.times[0], (std::pair<uint32_t, uint64_t>{0, 123456789}));
}

TEST_F(CBaseRTPChannelTest, ChannelNamesFollowTheDeviceAndTheKind) {
    driver.m_device.address = "10.1.1.9";
    FakeTransportChannel camera(&driver, &sink);
    EXPECT_EQ(camera.GetChannelName(), "Camera 10.1.1.9 (Recording)");
    driver.m_videoChannels = 2;
    ChannelStartParameters live;
    live.kind = kLiveChannel;
    FakeTransportChannel server(&driver, &sink);
    server.Restart(live);
    server.Stop();
    EXPECT_EQ(server.GetChannelName(), "Video-server 10.1.1.9 (channel 0, Live)");
}

} // namespace
} // namespace talvex

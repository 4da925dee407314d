// The channel worker of the RTP channels, with a fake transport whose camera
// answers or not and whose frames come when the test delivers them.
#include "channels/CBaseRTPChannel.h"

#include "support/FakeChannelHost.h"
#include "support/Loopback.h"
#include "support/WaitUntil.h"
#include "unit/video/VideoTestData.h"
#include "video/FrameTypes.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace talvex::test {
namespace {

using namespace std::chrono_literals;

class FakeTransportChannel : public CBaseRTPChannel {
public:
    FakeTransportChannel(IDriver* driver, ipcapture::IVideoChannelCallback* sink)
        : CBaseRTPChannel(0, driver, sink, 0) {}
    ~FakeTransportChannel() override { StopThread(); }

    void SetChannelOption(uint32_t) override {}

    bool SendFrame(uint32_t type = kTypeH264KeyFrame, uint16_t width = 320, uint16_t height = 240, uint64_t time = 0) {
        FakeVideoFrame frame(type, 16);
        frame.SetDataSize(16);
        frame.SetTime(time);
        frame.SetPictureFormat(width, height, 2);
        frame.SetTypeCode(type);
        return DeliverFrame(&frame);
    }
    std::vector<SteadyTime> ConnectAttempts() {
        std::lock_guard lock(m_mutex);
        return m_attempts;
    }
    void LoseConnection() { OnPeerBye(); }

    std::atomic<bool> reachable{true}, blockInSession{false};
    std::atomic<int> packets{0}, sessionsStopped{0};
    CManualEvent interrupted;

protected:
    bool PrepareDevice() override {
        std::lock_guard lock(m_mutex);
        m_attempts.push_back(std::chrono::steady_clock::now());
        return reachable;
    }
    bool SetUpRTP() override { return true; }
    bool StartSession() override {
        // A camera that never answers: only Interrupt gets the worker out.
        if (blockInSession)
            interrupted.Wait(CEvent::kInfinite);
        return !blockInSession;
    }
    void StopSession() override { ++sessionsStopped; }
    bool KeepAlive() override { return true; }
    void Interrupt() override { interrupted.Set(); }
    void ProcessPacket(const CRTPPacket&) override { ++packets; }

private:
    std::mutex m_mutex;
    std::vector<SteadyTime> m_attempts;
};

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
        return {.width = width, .height = height};
    }
    static int64_t MsBetween(SteadyTime earlier, SteadyTime later) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(later - earlier).count();
    }
    // Starts the channel and brings it to streaming with one frame.
    void StartStreaming() {
        ASSERT_TRUE(channel.Start(Recording()));
        ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
        channel.SendFrame();
        ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelStreaming; }));
    }

    FakeDriver driver;
    FakeChannelSink sink;
    FakeTransportChannel channel{&driver, &sink};
};

// The moment itself: at W = T2 / 2, within one pass of the worker (1 s while
// streaming), with a second time-out long enough to tell W from T2; the notice
// comes at T2 and repeats while the signal stays lost, the line is logged once.
TEST_F(CBaseRTPChannelTest, SignalIsLostAtHalfTheSecondTimeOutAndReportedAfterIt) {
    constexpr uint32_t kLongT2 = 3000;
    driver.m_device.secondTimeoutMs = kLongT2;
    StartStreaming();
    for (int i = 0; i < 8; ++i) { // frames keep it streaming: the time counts from the last
        std::this_thread::sleep_for(40ms);
        channel.SendFrame();
    }
    const SteadyTime lastFrame = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] { return channel.GetState() == kChannelSignalLost; }, 5000ms));
    const int64_t lostAfter = MsBetween(lastFrame, std::chrono::steady_clock::now());
    EXPECT_GE(lostAfter, kLongT2 / 2);
    EXPECT_LT(lostAfter, kLongT2 / 2 + CBaseRTPChannel::kSlowPassMs + 300) << "lost later than W";
    ASSERT_TRUE(WaitUntil([&] { return sink.SignalLostTimes().size() >= 2; }, 8000ms));
    EXPECT_GE(MsBetween(lastFrame, sink.SignalLostTimes().front()), kLongT2);
    EXPECT_EQ(CountLines(driver, "Signal was lost for camera 127.0.0.1"), 1u);
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, UnreachableCameraIsTriedOncePerSecondAndNeverOnline) {
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
    EXPECT_EQ(CountLines(driver, "is online"), 0u);
    EXPECT_EQ(channel.GetState(), kChannelStopped);
}

TEST_F(CBaseRTPChannelTest, FirstFrameLogsTheOnlineLineOnceAndStopTheOfflineLine) {
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(channel.SendFrame());
    EXPECT_EQ(sink.FrameCount(), 5u);
    EXPECT_TRUE(driver.HasLine(3, "Camera 127.0.0.1 (Recording) is online"));
    EXPECT_EQ(CountLines(driver, "is online"), 1u);
    channel.Stop();
    EXPECT_EQ(channel.GetState(), kChannelStopped);
    EXPECT_TRUE(driver.HasLine(3, "Camera 127.0.0.1 (Recording) is offline"));
    EXPECT_GE(channel.sessionsStopped.load(), 1);
}

// Suspend and Resume answer only a real change.
TEST_F(CBaseRTPChannelTest, SuspendedChannelDropsFramesAsDeliveredAndKeepsItsState) {
    EXPECT_FALSE(channel.Resume());
    StartStreaming();
    ASSERT_TRUE(channel.Suspend());
    EXPECT_FALSE(channel.Suspend());
    const size_t before = sink.FrameCount();
    EXPECT_TRUE(channel.SendFrame());
    EXPECT_EQ(sink.FrameCount(), before);
    // No frames while suspended is no signal loss.
    std::this_thread::sleep_for(std::chrono::milliseconds(kT2 + 1200));
    EXPECT_EQ(channel.GetState(), kChannelStreaming);
    EXPECT_TRUE(sink.SignalLostTimes().empty());
    ASSERT_TRUE(channel.Resume());
    EXPECT_FALSE(channel.Resume());
    EXPECT_TRUE(channel.SendFrame());
    EXPECT_EQ(sink.FrameCount(), before + 1);
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, PacketsFromAnotherAddressNeverReachTheChannel) {
    const CRTPPacket packet = MakeRtpPacket(1, 1000, true, std::vector<uint8_t>{0x65, 1, 2});
    sockaddr_in other = Loopback(0);
    other.sin_addr.s_addr = inet_addr("10.9.9.9");
    channel.OnRTPPacket(other, packet);
    EXPECT_EQ(channel.packets.load(), 0);
    channel.OnRTPPacket(Loopback(0), packet); // the camera, 127.0.0.1
    EXPECT_EQ(channel.packets.load(), 1);
}

TEST_F(CBaseRTPChannelTest, LostConnectionReconnectsWithoutWaitingForTheTimer) {
    StartStreaming();
    const size_t attempts = channel.ConnectAttempts().size();
    channel.LoseConnection();
    channel.SendFrame(); // the timer alone would keep the channel streaming
    ASSERT_TRUE(WaitUntil([&] { return channel.ConnectAttempts().size() > attempts; }, 3000ms));
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, StopBreaksABlockedSessionStartPromptly) {
    channel.blockInSession = true;
    ASSERT_TRUE(channel.Start(Recording()));
    ASSERT_TRUE(WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    std::this_thread::sleep_for(50ms);
    const SteadyTime before = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(MsBetween(before, std::chrono::steady_clock::now()), 1000);
    EXPECT_EQ(channel.GetState(), kChannelStopped);
    EXPECT_EQ(CountLines(driver, "Unable to stop"), 0u);
}

// The picture size comes from the last key frame, else from the configured one.
TEST_F(CBaseRTPChannelTest, StartTwiceRefusesTheSecondAndPictureSizeFollowsKeyFramesAndRestarts) {
    ASSERT_TRUE(channel.Start(Recording(640, 480)));
    EXPECT_FALSE(channel.Start(Recording()));
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{640, 480}));
    EXPECT_TRUE(channel.Restart(Recording(320, 240)));
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{320, 240}));
    channel.SendFrame(kTypeH264Frame, 176, 144);
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{320, 240}));
    channel.SendFrame(kTypeH264KeyFrame, 1280, 720);
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{1280, 720}));
    channel.Stop();
}

TEST_F(CBaseRTPChannelTest, RefusedFrameIsNotDeliveredAndThrowingSinkIsLogged) {
    sink.accept = false;
    EXPECT_FALSE(channel.SendFrame());
    EXPECT_EQ(CountLines(driver, "is online"), 0u);
    sink.throwOnFrame = true;
    EXPECT_FALSE(channel.SendFrame());
    EXPECT_TRUE(driver.HasLine(1, "Unhandled exception in driver instance for device 127.0.0.1:80"));
}

class RecordingEdgeMonitor : public IEdgeStorageCallback {
public:
    void OnFrameTime(uint32_t channelIndex, uint64_t time) override { times.emplace_back(channelIndex, time); }
    void OnSignalLost(uint32_t) override {}
    std::vector<std::pair<uint32_t, uint64_t>> times;
};

TEST_F(CBaseRTPChannelTest, EdgeMonitorHearsEveryDeliveredFrameTime) {
    RecordingEdgeMonitor monitor;
    channel.SetEdgeMonitor(&monitor);
    EXPECT_TRUE(channel.SendFrame(kTypeH264KeyFrame, 320, 240, 123456789));
    ASSERT_EQ(monitor.times.size(), 1u);
    EXPECT_EQ(monitor.times[0], (std::pair<uint32_t, uint64_t>{0, 123456789}));
}

TEST_F(CBaseRTPChannelTest, ChannelNamesFollowTheDeviceAndTheKind) {
    driver.m_device.address = "10.1.1.9";
    FakeTransportChannel camera(&driver, &sink);
    EXPECT_EQ(camera.GetChannelName(), "Camera 10.1.1.9 (Recording)");
    driver.m_videoChannels = 2;
    FakeTransportChannel server(&driver, &sink);
    server.Restart({.kind = kLiveChannel});
    server.Stop();
    EXPECT_EQ(server.GetChannelName(), "Video-server 10.1.1.9 (channel 0, Live)");
}

} // namespace
} // namespace talvex::test

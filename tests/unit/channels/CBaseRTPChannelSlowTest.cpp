#include "channels/CBaseRTPChannel.h"

#include "support/WaitUntil.h"
#include "support/FakeChannelHost.h"
#include "unit/channels/FakeTransportChannel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;

int64_t MsBetween(test::SteadyTime earlier, test::SteadyTime later) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(later - earlier).count();
}

// The device time-outs the driver sets at open: T1 = 5000 ms, T2 = 10000 ms.
TEST(CBaseRTPChannelSlowTest, StoppedCameraIsLostAfterFiveSecondsAndReportedAfterTen) {
    test::FakeDriver driver("127.0.0.1", 80);
    driver.m_device.firstTimeoutMs = 5000;
    driver.m_device.secondTimeoutMs = 10000;
    test::FakeChannelSink sink;
    test::FakeTransportChannel channel(&driver, &sink);
    ASSERT_TRUE(channel.Start({}));
    ASSERT_TRUE(test::WaitUntil([&] { return !channel.ConnectAttempts().empty(); }));
    channel.SendFrame();
    ASSERT_TRUE(test::WaitUntil([&] { return channel.GetState() == kChannelStreaming; }));
    const test::SteadyTime lastFrame = std::chrono::steady_clock::now();

    ASSERT_TRUE(test::WaitUntil([&] { return channel.GetState() == kChannelSignalLost; }, 10000ms));
    const int64_t lostAfter = MsBetween(lastFrame, std::chrono::steady_clock::now());
    EXPECT_GE(lostAfter, 5000);
    EXPECT_LT(lostAfter, 7500);
    EXPECT_TRUE(sink.SignalLostTimes().empty());
    ASSERT_TRUE(test::WaitUntil([&] { return !sink.SignalLostTimes().empty(); }, 10000ms));
    const int64_t reportedAfter = MsBetween(lastFrame, sink.SignalLostTimes().front());
    EXPECT_GE(reportedAfter, 10000);
    EXPECT_LT(reportedAfter, 13000);
    EXPECT_EQ(test::CountLines(driver, "Signal was lost for camera 127.0.0.1 (Recording)"), 1u);
    channel.Stop();
}

} // namespace
} // namespace talvex

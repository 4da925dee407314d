#include "events/CSonyMotionChannel.h"

#include "support/FakeDriver.h"
#include "support/WaitUntil.h"
#include "unit/events/FakeMotionHost.h"
#include "unit/events/FakeSonyCameraServer.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

constexpr const char* kMdAlarmData = "/command/motiondetection.cgi?MdAlarmData=on";
constexpr const char* kAlarmData = "/command/system.cgi?AlarmData=on";
constexpr const char* kAlarmStream = "/command/alarmdata.cgi?interval=1";

std::string Record(const char* items) {
    return std::string("--alarm\r\nContent-Type: text/plain\r\n\r\n") + items + "\r\n";
}

class CSonyMotionChannelTest : public ::testing::Test {
protected:
    CSonyMotionChannelTest() {
        driver.m_allocator = &allocator;
        driver.GetDeviceInfo()->generation = 6;
        // The fourth record is cut off by the end of the answer: it is never read.
        camera.Answer(kAlarmStream, {200, Record("MdWin1=0&MdWin3=0") + Record("MdWin1=0&MdWin3=0") +
                                              Record("MdWin1=0&MdWin3=1") + Record("MdWin1=0&MdWin3=0")});
    }
    ~CSonyMotionChannelTest() override { channel.Stop(); }

    size_t CountLines(const std::string& text) { return test::CountLines(driver, text); }

    test::FakeSonyCameraServer camera;
    test::FakeDriver driver{"127.0.0.1", camera.Port()};
    test::FakeFrameAllocator allocator;
    test::FakeMotionCallback callback;
    CSonyMotionChannel channel{0, &driver, &callback};
};

TEST_F(CSonyMotionChannelTest, AlarmStreamRecordsBecomeAnEdgeThenChanges) {
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return callback.States().size() >= 3; }));
    channel.Stop();
    std::vector<int> states = callback.States();
    states.resize(3);
    EXPECT_EQ(states, (std::vector<int>{1, 0, 1}));
    EXPECT_TRUE(channel.IsSignalOk());
    const std::vector<std::string> targets = camera.Targets();
    ASSERT_GE(targets.size(), 2u);
    EXPECT_EQ(targets[0], kAlarmData);
    EXPECT_EQ(targets[1], kAlarmStream);
    EXPECT_EQ(camera.CountOf(kMdAlarmData), 0u) << "generation 6 has no separate motion alarm switch";
}

TEST_F(CSonyMotionChannelTest, OlderGenerationsSwitchMotionAlarmDataOnFirst) {
    driver.GetDeviceInfo()->generation = 5;
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 1; }));
    channel.Stop();
    const std::vector<std::string> targets = camera.Targets();
    EXPECT_EQ(std::vector<std::string>(targets.begin(), targets.begin() + 3),
              (std::vector<std::string>{kMdAlarmData, kAlarmData, kAlarmStream}));
}

TEST_F(CSonyMotionChannelTest, AStreamThatEndsIsOpenedAgainAfterAPause) {
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 2; }));
    channel.Stop();
    EXPECT_EQ(CountLines("ended; it is opened again"), 1u) << "once, however often it ends";
}

TEST_F(CSonyMotionChannelTest, RefusedSwitchIsRetriedAndLoggedOnceWithItsCause) {
    driver.GetDeviceInfo()->generation = 4;
    camera.Answer(kMdAlarmData, {404, ""});
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return camera.CountOf(kMdAlarmData) >= 2; }));
    channel.Stop();
    EXPECT_EQ(camera.CountOf(kAlarmData), 0u);
    EXPECT_EQ(camera.CountOf(kAlarmStream), 0u);
    EXPECT_EQ(CountLines("Motion detection of device 127.0.0.1"), 1u);
    EXPECT_EQ(CountLines("was not found"), 1u);
    EXPECT_TRUE(callback.States().empty());
}

TEST_F(CSonyMotionChannelTest, AHostSinkThatThrowsIsLoggedAndTheWorkerGoesOn) {
    callback.Throw(true);
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 2; }));
    channel.Stop();
    EXPECT_GE(CountLines("Unhandled exception during \"Motion detection\""),
              1u);
    EXPECT_EQ(allocator.released, allocator.allocated) << "every frame goes back to the host";
}

TEST_F(CSonyMotionChannelTest, StopEndsAStreamTheCameraHolds) {
    camera.Hold(kAlarmStream);
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 1; }));
    const auto begin = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_EQ(CountLines("does not work"), 0u) << "a stop is no camera failure";
}

} // namespace
} // namespace talvex

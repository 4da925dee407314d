#include "events/CSonyMotionChannel.h"

#include "support/FakeChannelHost.h"
#include "support/WaitUntil.h"
#include "unit/events/FakeSonyCameraServer.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

constexpr const char* kMdAlarmData = "/command/motiondetection.cgi?MdAlarmData=on";
constexpr const char* kAlarmData = "/command/system.cgi?AlarmData=on";
constexpr const char* kAlarmStream = "/command/alarmdata.cgi?interval=1";

class CSonyMotionChannelTest : public ::testing::Test {
protected:
    CSonyMotionChannelTest() {
        driver.m_allocator = &allocator;
        driver.GetDeviceInfo()->generation = 6;
        camera.Answer(kAlarmStream, {200, "--alarm\r\n\r\nMdWin3=1\r\n--alarm\r\n\r\nMdWin3=0\r\n"});
    }
    ~CSonyMotionChannelTest() override { channel.Stop(); }

    size_t CountLines(const std::string& text) { return test::CountLines(driver, text); }

    test::FakeSonyCameraServer camera;
    test::FakeDriver driver{"127.0.0.1", camera.Port()};
    test::FakeFrameAllocator allocator;
    test::FakeChannelSink sink;
    CSonyMotionChannel channel{0, &driver, &sink};
};

// The requests that open the alarm stream, by generation; the stream's first
// record reaches the host as an edge.
TEST_F(CSonyMotionChannelTest, EachGenerationOpensTheAlarmStreamInItsWay) {
    const std::pair<uint32_t, std::vector<std::string>> cases[] = {
        {6, {kAlarmData, kAlarmStream}},
        {5, {kMdAlarmData, kAlarmData, kAlarmStream}},
    };
    for (const auto& [generation, opening] : cases) {
        SCOPED_TRACE("generation " + std::to_string(generation));
        driver.GetDeviceInfo()->generation = generation;
        camera.ClearTargets();
        test::FakeChannelSink host;
        CSonyMotionChannel opened(0, &driver, &host);
        ASSERT_TRUE(opened.Start());
        ASSERT_TRUE(test::WaitUntil([&] { return host.FrameCount() >= 2; }));
        opened.Stop();
        const std::vector<std::string> targets = camera.Targets();
        ASSERT_GE(targets.size(), opening.size());
        EXPECT_EQ(std::vector<std::string>(targets.begin(), targets.begin() + opening.size()), opening);
        EXPECT_TRUE(opened.IsSignalOk());
    }
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
    EXPECT_EQ(sink.FrameCount(), 0u);
}

TEST_F(CSonyMotionChannelTest, AHostSinkThatThrowsIsLoggedAndTheWorkerGoesOn) {
    sink.throwOnFrame = true;
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 2; }));
    channel.Stop();
    EXPECT_GE(CountLines("Unhandled exception during \"Motion detection\""), 1u);
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

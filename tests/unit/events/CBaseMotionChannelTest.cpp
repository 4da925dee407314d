#include "events/CBaseMotionChannel.h"

#include "support/FakeDriver.h"
#include "unit/events/FakeMotionHost.h"

#include <gtest/gtest.h>

#include <thread>

namespace talvex {
namespace {

// A channel whose camera pass does nothing: the tests drive the reports themselves.
class ScriptedMotionChannel : public CBaseMotionChannel {
public:
    using CBaseMotionChannel::CBaseMotionChannel;
    ~ScriptedMotionChannel() override { Stop(); }
    void AbortRequest() override {}
    using CBaseMotionChannel::CheckSignal;
    using CBaseMotionChannel::ReportMotion;
    using CBaseMotionChannel::SetSignal;

protected:
    void ThreadFunction() override {}
    const char* ThreadFunctionName() const override { return "ScriptedMotionChannel::ThreadFunction"; }
};

class CBaseMotionChannelTest : public ::testing::Test {
protected:
    CBaseMotionChannelTest() { driver.m_allocator = &allocator; }

    // Reports each state in turn; returns the motion byte of every frame sent.
    std::vector<int> Report(const std::vector<bool>& states) {
        for (bool motion : states)
            channel.ReportMotion(motion);
        return callback.States();
    }

    test::FakeDriver driver{"10.0.0.7", 8080};
    test::FakeFrameAllocator allocator;
    test::FakeMotionCallback callback;
    test::FakeEdgeMonitor monitor;
    ScriptedMotionChannel channel{3, &driver, &callback};
};

struct ReportCase {
    const char* name;
    std::vector<bool> states;
    std::vector<int> frames;
};

TEST_F(CBaseMotionChannelTest, OnlyChangesAreSentAfterTheFirstEdge) {
    const ReportCase cases[] = {
        {"first quiet record shows motion, then none", {false}, {1, 0}},
        {"first motion record shows none, then motion", {true}, {0, 1}},
        {"repeats send nothing", {false, false, false}, {1, 0}},
        {"each change sends one frame", {false, true, true, false}, {1, 0, 1, 0}},
    };
    for (const ReportCase& test : cases) {
        SCOPED_TRACE(test.name);
        test::FakeMotionCallback fresh;
        ScriptedMotionChannel scripted(0, &driver, &fresh);
        for (bool motion : test.states)
            scripted.ReportMotion(motion);
        EXPECT_EQ(fresh.States(), test.frames);
    }
}

TEST_F(CBaseMotionChannelTest, FrameCarriesTheMotionDataAsTheHostExpectsIt) {
    channel.ReportMotion(true);
    ASSERT_EQ(callback.Frames().size(), 2u);
    const test::MotionFrame frame = callback.Frames()[1];
    EXPECT_EQ(frame.data, (std::vector<uint8_t>{0x01, 0x01}));
    EXPECT_EQ(frame.typeCode, ipcapture::MakeFourCC('M', 'E', 'M', 'D'));
    EXPECT_EQ(frame.width, 320);
    EXPECT_EQ(frame.height, 240);
    EXPECT_EQ(frame.kind, 2u);
    EXPECT_EQ(allocator.lastName, "CBaseMotionChannel");
    EXPECT_EQ(allocator.allocated, 2);
    EXPECT_EQ(allocator.released, 2);
    EXPECT_TRUE(channel.IsSignalOk());
}

TEST_F(CBaseMotionChannelTest, LossMakesTheNextRecordAnEdgeAgain) {
    channel.SetEdgeMonitor(&monitor);
    Report({false, false});
    channel.SetSignal(false);
    EXPECT_FALSE(channel.IsSignalOk());
    EXPECT_EQ(callback.Losses(), 1);
    EXPECT_EQ(monitor.losses, std::vector<uint32_t>{3});
    EXPECT_EQ(Report({false}), (std::vector<int>{1, 0, 1, 0}));
    EXPECT_TRUE(channel.IsSignalOk());
}

TEST_F(CBaseMotionChannelTest, SettingTheSignalToItsValueChangesNothing) {
    channel.SetSignal(false);
    Report({true});
    channel.SetSignal(true);
    EXPECT_EQ(callback.Losses(), 0);
    EXPECT_EQ(Report({true}), (std::vector<int>{0, 1})) << "no new edge without a loss";
}

TEST_F(CBaseMotionChannelTest, EdgeMonitorHearsTheTimeOfEveryTakenFrame) {
    channel.SetEdgeMonitor(&monitor);
    Report({true});
    ASSERT_EQ(monitor.frameTimes.size(), 2u);
    EXPECT_EQ(monitor.frameTimes[0].first, 3u);
    EXPECT_GT(monitor.frameTimes[0].second, 0u);
}

TEST_F(CBaseMotionChannelTest, RefusedFramesLeaveTheSignalOffAndTellNoMonitor) {
    channel.SetEdgeMonitor(&monitor);
    callback.Accept(false);
    Report({true});
    EXPECT_EQ(callback.Frames().size(), 2u);
    EXPECT_FALSE(channel.IsSignalOk());
    EXPECT_TRUE(monitor.frameTimes.empty());
    EXPECT_EQ(allocator.released, 2) << "every frame goes back to the host";
}

TEST_F(CBaseMotionChannelTest, NothingIsSentWithoutAnAllocatorOrAFrame) {
    driver.m_allocator = nullptr;
    Report({true});
    driver.m_allocator = &allocator;
    allocator.refuse = true;
    Report({false});
    EXPECT_TRUE(callback.Frames().empty());
}

TEST_F(CBaseMotionChannelTest, HostThatTakesNoFrameForTheSecondTimeOutLosesTheSignal) {
    driver.GetDeviceInfo()->secondTimeoutMs = 50;
    Report({true});
    channel.CheckSignal();
    EXPECT_TRUE(channel.IsSignalOk()) << "within the time-out";
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    channel.CheckSignal();
    EXPECT_FALSE(channel.IsSignalOk());
    EXPECT_EQ(callback.Losses(), 1);
}

TEST_F(CBaseMotionChannelTest, StartsItsWorkerOnceAndStops) {
    EXPECT_TRUE(channel.Start());
    EXPECT_TRUE(channel.Start()) << "a running worker counts as started";
    channel.Stop();
    EXPECT_EQ(channel.GetChannel(), 3u);
    EXPECT_EQ(channel.GetCallback(), &callback);
}

} // namespace
} // namespace talvex

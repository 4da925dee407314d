#include "events/CBaseMotionChannel.h"

#include "support/FakeChannelHost.h"

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

class EdgeMonitor : public IEdgeStorageCallback {
public:
    void OnFrameTime(uint32_t channel, uint64_t time) override { frameTimes.push_back({channel, time}); }
    void OnSignalLost(uint32_t channel) override { losses.push_back(channel); }

    std::vector<std::pair<uint32_t, uint64_t>> frameTimes;
    std::vector<uint32_t> losses;
};

// The motion byte of every frame the host took: 1 motion, 0 none.
std::vector<int> MotionBytes(const test::FakeChannelSink& sink) {
    std::vector<int> bytes;
    for (const std::vector<uint8_t>& frame : sink.Frames())
        bytes.push_back(frame.size() == 2 ? frame[1] : -1);
    return bytes;
}

class CBaseMotionChannelTest : public ::testing::Test {
protected:
    CBaseMotionChannelTest() {
        driver.m_allocator = &allocator;
        sink.keepBytes = true;
        channel.SetEdgeMonitor(&monitor);
    }

    // Reports each state in turn; returns the motion byte of every frame sent.
    std::vector<int> Report(const std::vector<bool>& states) {
        for (bool motion : states)
            channel.ReportMotion(motion);
        return MotionBytes(sink);
    }

    test::FakeDriver driver{"10.0.0.7", 8080};
    test::FakeFrameAllocator allocator;
    test::FakeChannelSink sink;
    EdgeMonitor monitor;
    ScriptedMotionChannel channel{3, &driver, &sink};
};

struct ReportCase {
    const char* name;
    std::vector<bool> states;
    std::vector<int> frames;
};

const ReportCase kReportCases[] = {
    {"first quiet record shows motion, then none", {false}, {1, 0}},
    {"first motion record shows none, then motion", {true}, {0, 1}},
    {"repeats send nothing", {false, false, false}, {1, 0}},
    {"each change sends one frame", {false, true, true, false}, {1, 0, 1, 0}},
};

TEST_F(CBaseMotionChannelTest, OnlyChangesAreSentAfterTheFirstEdge) {
    for (const ReportCase& test : kReportCases) {
        SCOPED_TRACE(test.name);
        test::FakeChannelSink fresh;
        fresh.keepBytes = true;
        ScriptedMotionChannel scripted(0, &driver, &fresh);
        for (bool motion : test.states)
            scripted.ReportMotion(motion);
        EXPECT_EQ(MotionBytes(fresh), test.frames);
    }
}

TEST_F(CBaseMotionChannelTest, FramesCarryTheMotionDataAndTellTheMonitorTheirTime) {
    Report({true});
    ASSERT_EQ(sink.Frames().size(), 2u);
    EXPECT_EQ(sink.Frames()[1], (std::vector<uint8_t>{0x01, 0x01}));
    EXPECT_EQ(sink.Types()[1], ipcapture::MakeFourCC('M', 'E', 'M', 'D'));
    EXPECT_EQ(allocator.released, 2) << "every frame goes back to the host";
    ASSERT_EQ(monitor.frameTimes.size(), 2u);
    EXPECT_EQ(monitor.frameTimes[0].first, 3u);
    EXPECT_GT(monitor.frameTimes[0].second, 0u);
}

// Setting the signal to the value it has changes nothing; only a loss makes the
// next record an edge again.
TEST_F(CBaseMotionChannelTest, OnlyALossMakesTheNextRecordAnEdgeAgain) {
    channel.SetSignal(false); // off before the first frame
    Report({false, false});
    channel.SetSignal(true); // on since the first frame
    EXPECT_EQ(Report({false}), (std::vector<int>{1, 0})) << "no new edge without a loss";
    EXPECT_TRUE(sink.SignalLostTimes().empty());
    channel.SetSignal(false);
    EXPECT_FALSE(channel.IsSignalOk());
    EXPECT_EQ(sink.SignalLostTimes().size(), 1u);
    EXPECT_EQ(monitor.losses, std::vector<uint32_t>{3});
    EXPECT_EQ(Report({false}), (std::vector<int>{1, 0, 1, 0}));
    EXPECT_TRUE(channel.IsSignalOk());
}

TEST_F(CBaseMotionChannelTest, RefusedFramesLeaveTheSignalOffAndTellNoMonitor) {
    sink.accept = false;
    Report({true});
    EXPECT_EQ(sink.FrameCount(), 2u);
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
    EXPECT_EQ(sink.FrameCount(), 0u);
}

TEST_F(CBaseMotionChannelTest, HostThatTakesNoFrameForTheSecondTimeOutLosesTheSignal) {
    driver.GetDeviceInfo()->secondTimeoutMs = 50;
    Report({true});
    channel.CheckSignal();
    EXPECT_TRUE(channel.IsSignalOk()) << "within the time-out";
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    channel.CheckSignal();
    EXPECT_FALSE(channel.IsSignalOk());
    EXPECT_EQ(sink.SignalLostTimes().size(), 1u);
}

TEST_F(CBaseMotionChannelTest, ARunningWorkerCountsAsStarted) {
    EXPECT_TRUE(channel.Start());
    EXPECT_TRUE(channel.Start());
}

} // namespace
} // namespace talvex

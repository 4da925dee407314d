#include "edgestorage/CBaseEdgeStorageHandler.h"
#include "edgestorage/CEdgeOutageRules.h"
#include "edgestorage/TEdgeStorageQueueHandler.h"

#include "EdgeTimes.h"
#include "support/FakeChannelHost.h"
#include "support/FakeDriver.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <ostream>
#include <thread>
#include <tuple>
#include <vector>

namespace talvex::test {
namespace {

using Interval = std::tuple<uint32_t, uint64_t, uint64_t>;

// A task that records the intervals it is given; each Process gets the
// interval a step further (or finishes it) as the test says.
class ScriptedTask : public IEdgeStorageTask {
public:
    void Start(uint32_t channel, uint64_t begin, uint64_t end) override {
        std::lock_guard lock(mutex);
        started.emplace_back(channel, begin, end);
    }
    bool Process(uint64_t& progress) override {
        progress += step;
        ++passes;
        return finish;
    }
    void StopChannel(uint32_t) override { ++stops; }
    void Abort() override {}
    bool IsAvailable() override { return true; }
    std::vector<Interval> Started() {
        std::lock_guard lock(mutex);
        return started;
    }

    std::mutex mutex;
    std::vector<Interval> started;
    std::atomic<uint64_t> step{0};
    std::atomic<bool> finish{true};
    std::atomic<int> passes{0};
    std::atomic<int> stops{0};
};

class TestHandler : public CBaseEdgeStorageHandler {
public:
    TestHandler(IDriver* driver, ScriptedTask*& task, Clock clock) : CBaseEdgeStorageHandler(driver, 10, std::move(clock)) {
        auto owned = std::make_unique<ScriptedTask>();
        task = owned.get();
        SetTask(std::move(owned));
    }
};

class FakeEdgeChannel : public IEdgeMonitorChannel {
public:
    FakeEdgeChannel(uint32_t number, ipcapture::IVideoChannelCallback* callback) : m_number(number), m_callback(callback) {}
    uint32_t GetChannel() const override { return m_number; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return m_callback; }
    void SetEdgeMonitor(IEdgeStorageCallback* monitor) override { this->monitor = monitor; }
    void Frame(uint64_t time) { monitor.load()->OnFrameTime(m_number, time); }

    std::atomic<IEdgeStorageCallback*> monitor{nullptr};

private:
    uint32_t m_number;
    ipcapture::IVideoChannelCallback* m_callback;
};

constexpr uint32_t kTestSilenceMs = 100;

class EdgeStorageHandlerTest : public testing::Test {
protected:
    EdgeStorageHandlerTest() {
        m_driver.m_device.secondTimeoutMs = kTestSilenceMs;
        m_handler = std::make_unique<TestHandler>(&m_driver, m_task, [this] { return CTime(m_now.load()); });
    }

    FakeDriver m_driver;
    std::atomic<uint64_t> m_now{At(10, 0, 0)};
    ScriptedTask* m_task = nullptr;
    std::unique_ptr<TestHandler> m_handler;
    FakeChannelSink m_sink1;
    FakeEdgeChannel m_channel1{1, &m_sink1};
};

class ChannelReturn : public EdgeStorageHandlerTest, public testing::WithParamInterface<bool> {};

TEST_P(ChannelReturn, AChannelThatLeavesMidIntervalResumesFromThePointReachedWhenItReturns) {
    const bool waitForPostponed = GetParam();
    m_task->finish = false;
    m_task->step = 10 * kUnitsPerSecond;
    m_handler->AddChannel(&m_channel1);
    // A last live frame, then silence until the handler has seen the outage.
    m_channel1.Frame(At(10, 0, 0));
    m_now = At(10, 4, 0);
    // The watch looks at least once per time-out.
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * kTestSilenceMs));
    m_channel1.Frame(At(10, 5, 0));
    ASSERT_TRUE(WaitUntil([&] { return m_task->passes > 0; }));
    m_handler->RemoveChannel(&m_channel1);
    if (waitForPostponed) {
        ASSERT_TRUE(WaitUntil([&] { return !m_handler->GetPostponed().empty(); }));
    }
    EXPECT_EQ(m_task->stops, 1);
    m_task->finish = true;
    m_handler->AddChannel(&m_channel1);
    m_channel1.Frame(At(10, 5, 1));
    ASSERT_TRUE(WaitUntil([&] { return m_task->Started().size() == 2; }));
    EXPECT_EQ(m_task->Started(), (std::vector<Interval>{{1, At(10, 0, 0), At(10, 5, 0)}, {1, At(10, 0, 10), At(10, 5, 0)}}));
    EXPECT_TRUE(m_handler->GetPostponed().empty());
}

INSTANTIATE_TEST_SUITE_P(Return, ChannelReturn, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "AfterItWasPostponed" : "AtOnce"; });

TEST_F(EdgeStorageHandlerTest, AChannelAddedTwiceStaysUntilRemovedTwice) {
    FakeEdgeChannel motion(1, &m_sink1);
    m_handler->AddChannel(&m_channel1);
    m_handler->AddChannel(&motion);
    m_handler->RemoveChannel(&motion);
    EXPECT_EQ(motion.monitor.load(), nullptr);
    FakeVideoFrame frame(0, 0);
    EXPECT_TRUE(m_handler->CaptureFrameCallback(1, &frame));
    m_handler->RemoveChannel(&m_channel1);
    EXPECT_FALSE(m_handler->CaptureFrameCallback(1, &frame));
    EXPECT_EQ(m_sink1.FrameCount(), 1u);
}


class RecordingOwner {
public:
    void ProcessEdgeStorageTaskItem(const CEdgeStorageTaskItem& item) {
        std::lock_guard lock(mutex);
        begins.push_back(item.GetBegin());
    }
    std::vector<uint64_t> Begins() {
        std::lock_guard lock(mutex);
        return begins;
    }

    std::mutex mutex;
    std::vector<uint64_t> begins;
};

struct LimitCase {
    const char* name;
    size_t limit;
    uint64_t pushed;
    std::vector<uint64_t> processed;
};

void PrintTo(const LimitCase& value, std::ostream* out) { *out << value.name; }

class QueueLimit : public testing::TestWithParam<LimitCase> {};

TEST_P(QueueLimit, DropsTheOldestIntervalsBeyondTheLimit) {
    FakeDriver driver;
    RecordingOwner owner;
    TEdgeStorageQueueHandler<RecordingOwner> queue(owner, &driver);
    for (uint64_t begin = 1; begin <= GetParam().pushed; ++begin) {
        size_t dropped = 0;
        ASSERT_TRUE(queue.PushLimited(CEdgeStorageTaskItem::Make(0, begin, 100), GetParam().limit, dropped));
    }
    ASSERT_TRUE(queue.Start("edge queue test"));
    ASSERT_TRUE(WaitUntil([&] { return owner.Begins().size() == GetParam().processed.size(); }));
    EXPECT_EQ(owner.Begins(), GetParam().processed);
}

INSTANTIATE_TEST_SUITE_P(
    Pushes, QueueLimit,
    testing::Values(LimitCase{"EleventhOfTen", 10, 11, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
                    LimitCase{"LimitOne", 1, 3, {3}},
                    LimitCase{"NoLimit", 0, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}),
    [](const testing::TestParamInfo<LimitCase>& info) { return info.param.name; });


constexpr uint32_t kSilenceMs = 10000;

EdgeChannelMap Channels(const std::vector<std::pair<uint32_t, uint64_t>>& lastFrames) {
    EdgeChannelMap channels;
    for (const auto& [number, time] : lastFrames)
        channels[number] = EdgeChannelRecord{nullptr, 1, time};
    return channels;
}

struct OutageCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint64_t>> lastFrames;
    uint64_t now;
    bool outage;
};

void PrintTo(const OutageCase& value, std::ostream* out) { *out << value.name; }

class OutageThreshold : public testing::TestWithParam<OutageCase> {};

TEST_P(OutageThreshold, CountsOnlySilenceLongerThanTheTimeOutOfTheNewestChannel) {
    EXPECT_EQ(CEdgeOutageRules::IsOutage(Channels(GetParam().lastFrames), GetParam().now, kSilenceMs), GetParam().outage);
}

INSTANTIATE_TEST_SUITE_P(
    Silence, OutageThreshold,
    testing::Values(OutageCase{"Exactly", {{0, At(10, 0, 0)}}, At(10, 0, 10), false},
                    OutageCase{"JustAbove", {{0, At(10, 0, 0)}}, At(10, 0, 10, 1), true},
                    OutageCase{"OneChannelStillAlive", {{0, At(10, 0, 0)}, {1, At(10, 0, 5)}}, At(10, 0, 12), false},
                    OutageCase{"AllSilent", {{0, At(10, 0, 0)}, {1, At(10, 0, 5)}}, At(10, 0, 16), true},
                    OutageCase{"NeverAFrame", {{0, 0}, {1, 0}}, At(10, 0, 16), false},
                    OutageCase{"NoChannel", {}, At(10, 0, 16), false},
                    OutageCase{"ClockBehindTheFrames", {{0, At(10, 0, 30)}}, At(10, 0, 0), false}),
    [](const testing::TestParamInfo<OutageCase>& info) { return info.param.name; });

struct IntervalCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint64_t>> lastFrames;
    uint64_t resume;
    uint64_t now;
    std::vector<Interval> expected;
};

void PrintTo(const IntervalCase& value, std::ostream* out) { *out << value.name; }

class MissedIntervals : public testing::TestWithParam<IntervalCase> {};

TEST_P(MissedIntervals, RunFromEachChannelsLastFrameToTheFirstFrameAfterTheOutage) {
    const IntervalCase& c = GetParam();
    std::vector<Interval> intervals;
    for (const CEdgeStorageTaskItem& item : CEdgeOutageRules::MissedIntervals(Channels(c.lastFrames), c.resume, c.now))
        intervals.emplace_back(item.GetChannel(), item.GetBegin(), item.GetEnd());
    EXPECT_EQ(intervals, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, MissedIntervals,
    testing::Values(
        IntervalCase{"TwoChannels", {{1, At(10, 0, 0)}, {2, At(10, 0, 2)}}, At(10, 5, 0), At(10, 5, 3), {{1, At(10, 0, 0), At(10, 5, 0)}, {2, At(10, 0, 2), At(10, 5, 0)}}},
        IntervalCase{"ChannelWithoutFrame", {{1, 0}, {2, At(10, 0, 2)}}, At(10, 5, 0), At(10, 5, 3), {{2, At(10, 0, 2), At(10, 5, 0)}}},
        IntervalCase{"NoResumeEndsNow", {{1, At(10, 0, 0)}}, 0, At(10, 7, 0), {{1, At(10, 0, 0), At(10, 7, 0)}}},
        IntervalCase{"LastFrameAtTheEnd", {{1, At(10, 5, 0)}}, At(10, 5, 0), At(10, 6, 0), {}},
        IntervalCase{"EmptySnapshot", {}, At(10, 5, 0), At(10, 6, 0), {}}),
    [](const testing::TestParamInfo<IntervalCase>& info) { return info.param.name; });

} // namespace
} // namespace talvex::test

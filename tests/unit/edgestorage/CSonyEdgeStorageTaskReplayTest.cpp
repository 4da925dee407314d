// The Sony task against camsim's recordings in real time: a replay that the
// camera cuts mid-way is taken up again from the last frame passed on, and an
// interval that spans two recordings is filled from both.
#include "edgestorage/CSonyEdgeStorageTask.h"

#include "EdgeTimes.h"
#include "support/ChannelRig.h"
#include "support/FakeChannelHost.h"
#include "support/FakeDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace talvex::test {
namespace {

constexpr uint64_t kUnitsPerMs = 10000;

class SonyEdgeStorageReplayTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(m_rig.Start("SNC-VB630", m_driver, m_allocator, {.rtsp = true}));
        // A short session time-out: a cut replay is noticed by its failed keep-alive within seconds.
        m_rig.camera->State().SetValue("RTSPTimeout", "3");
        // Made after the camera: the task takes the device record as it is then.
        m_task = std::make_unique<CSonyEdgeStorageTask>(m_user, &m_driver);
    }

    // Fetches the last recorded seconds up to half a second ago; returns Process's answers.
    std::vector<bool> Fill(uint32_t milliseconds, uint32_t passes) {
        const uint64_t now = CTime::Now().Value();
        m_begin = now - (milliseconds + 500) * kUnitsPerMs;
        m_end = now - 500 * kUnitsPerMs;
        m_task->Start(0, m_begin, m_end);
        uint64_t progress = m_begin;
        std::vector<bool> done;
        for (uint32_t pass = 0; pass < passes; ++pass) {
            done.push_back(m_task->Process(progress));
            m_progress.push_back(progress);
        }
        return done;
    }

    // Every frame once, in order, inside the interval, up to its end.
    void ExpectTheIntervalInOrder() {
        const std::vector<uint64_t> times = m_user.Times();
        ASSERT_FALSE(times.empty());
        for (size_t i = 1; i < times.size(); ++i)
            ASSERT_LT(times[i - 1], times[i]) << "frame " << i << " of " << times.size();
        EXPECT_GT(times.front(), m_begin);
        EXPECT_LE(times.back(), m_end);
        EXPECT_GE(times.back() + 1000 * kUnitsPerMs, m_end);
    }

    FakeDriver m_driver;
    LockedFrameAllocator m_allocator;
    RecordingUser m_user;
    std::unique_ptr<CSonyEdgeStorageTask> m_task;
    uint64_t m_begin = 0, m_end = 0;
    std::vector<uint64_t> m_progress;
    CamsimCamera m_rig; // declared last: stopped first
};

TEST_F(SonyEdgeStorageReplayTest, AReplayCutMidWayResumesFromThePointReached) {
    std::this_thread::sleep_for(std::chrono::seconds(5));
    m_rig.rtsp->Faults().cutReplayAfterMs = 1500;
    EXPECT_EQ(Fill(4000, 2), (std::vector<bool>{false, true}));
    EXPECT_LT(m_progress[0], m_end);
    ExpectTheIntervalInOrder();
    EXPECT_EQ(CountRequests(m_rig.rtsp->RequestLog(), "PLAY"), 2u);
}

TEST_F(SonyEdgeStorageReplayTest, AnIntervalAcrossTwoRecordingsIsFilledFromBoth) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    // Another codec makes the camera start a new recording.
    m_rig.camera->State().SetValue("ImageCodec1", "mpeg4");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(Fill(4500, 1), std::vector<bool>{true});
    ExpectTheIntervalInOrder();
    const std::vector<std::string> log = m_rig.rtsp->RequestLog();
    EXPECT_EQ(CountRequests(log, "PLAY rtsp://127.0.0.1:" + std::to_string(m_rig.rtsp->GetPort()) + "/stream?name=rec-1-000002"),
              1u);
}

} // namespace
} // namespace talvex::test

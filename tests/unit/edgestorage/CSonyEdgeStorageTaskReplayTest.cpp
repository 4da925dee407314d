// The Sony task against camsim's recordings: a replay that the camera cuts
// mid-way is taken up again from the last frame passed on.
#include "edgestorage/CSonyEdgeStorageTask.h"

#include "support/ChannelRig.h"
#include "support/FakeChannelHost.h"
#include "support/FakeDriver.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace talvex::test {
namespace {

constexpr uint64_t kUnitsPerMs = 10000;

class FrameTimes : public IEdgeStorageTaskUser {
public:
    bool CaptureFrameCallback(uint32_t, ipcapture::IVideoFrame* frame) override {
        std::lock_guard lock(mutex);
        times.push_back(frame->GetTime());
        return true;
    }
    std::vector<uint64_t> Times() {
        std::lock_guard lock(mutex);
        return times;
    }

    std::mutex mutex;
    std::vector<uint64_t> times;
};

TEST(SonyEdgeStorageReplayTest, AReplayCutMidWayResumesFromThePointReached) {
    FakeDriver driver;
    LockedFrameAllocator allocator;
    CamsimCamera rig;
    ASSERT_NO_FATAL_FAILURE(rig.Start("SNC-VB630", driver, allocator, {.rtsp = true}));
    // A short session time-out: the cut replay is noticed by its failed keep-alive within seconds.
    rig.camera->State().SetValue("RTSPTimeout", "3");
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const uint64_t now = CTime::Now().Value();
    const uint64_t begin = now - 4500 * kUnitsPerMs;
    const uint64_t end = now - 500 * kUnitsPerMs;

    FrameTimes user;
    CSonyEdgeStorageTask task(user, &driver);
    task.Start(0, begin, end);
    rig.rtsp->Faults().cutReplayAfterMs = 1500;
    uint64_t progress = begin;
    EXPECT_FALSE(task.Process(progress));
    const size_t firstPass = user.Times().size();
    ASSERT_GT(firstPass, 0u);
    EXPECT_EQ(progress, user.Times().back());
    EXPECT_LT(progress, end);

    EXPECT_TRUE(task.Process(progress));
    const std::vector<uint64_t> times = user.Times();
    ASSERT_GT(times.size(), firstPass);
    for (size_t i = 1; i < times.size(); ++i)
        ASSERT_LT(times[i - 1], times[i]) << "frame " << i << " of " << times.size();
    EXPECT_GT(times.front(), begin);
    EXPECT_LE(times.back(), end);
    EXPECT_GE(times.back() + 1000 * kUnitsPerMs, end);
    EXPECT_GE(progress, end);
    EXPECT_EQ(CountRequests(rig.rtsp->RequestLog(), "PLAY"), 2u);
}

} // namespace
} // namespace talvex::test

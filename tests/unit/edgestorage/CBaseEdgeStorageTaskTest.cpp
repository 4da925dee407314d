#include "edgestorage/CBaseEdgeStorageTask.h"
#include "edgestorage/CBaseRTSPEdgeStorageTask.h"

#include "EdgeTimes.h"
#include "support/FakeDriver.h"
#include "unit/video/FakeMediaHost.h"
#include "unit/video/VideoTestData.h"
#include "video/CH264RTPMediaParser.h"
#include "video/FrameTypes.h"

#include <netinet/in.h>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace talvex::test {
namespace {

// The frame filter on its own: a task that only replays what the test hands it.
class FilterTask : public CBaseEdgeStorageTask {
public:
    using CBaseEdgeStorageTask::BeginReplay;
    using CBaseEdgeStorageTask::CBaseEdgeStorageTask;
    bool Process(uint64_t&) override { return false; }
    bool IsFinished() { return m_finishedEvent.Wait(0); }
};

struct Frame {
    uint64_t time;
    bool key;
    bool hostTakes = true;
};

struct FilterCase {
    const char* name;
    std::vector<Frame> frames;
    std::vector<uint64_t> passed;
    uint64_t progress;
    bool finished;
};

void PrintTo(const FilterCase& value, std::ostream* out) { *out << value.name; }

constexpr uint64_t kBegin = At(10, 0, 0);
constexpr uint64_t kEnd = At(10, 5, 0);

class FrameFilter : public testing::TestWithParam<FilterCase> {};

TEST_P(FrameFilter, PassesOnlyTheIntervalFromTheFirstKeyFrame) {
    FakeDriver driver;
    RecordingUser user;
    FilterTask task(user, &driver);
    task.Start(0, kBegin, kEnd);
    task.BeginReplay(kBegin);
    for (const Frame& frame : GetParam().frames) {
        user.refuse = !frame.hostTakes;
        FakeVideoFrame host(0, 0);
        host.SetTypeCode(frame.key ? kTypeH264KeyFrame : kTypeH264Frame);
        host.SetTime(frame.time);
        task.DeliverFrame(&host);
    }
    EXPECT_EQ(user.Times(), GetParam().passed);
    EXPECT_EQ(task.GetProgress(), GetParam().progress);
    EXPECT_EQ(task.IsFinished(), GetParam().finished);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameFilter,
    testing::Values(
        FilterCase{"FrameAtTheBeginIsTheLiveOne", {{kBegin, true}, {At(10, 0, 0, 40), true}}, {At(10, 0, 0, 40)}, At(10, 0, 0, 40), false},
        FilterCase{"WaitsForAKeyFrame", {{At(10, 0, 0, 40), false}, {At(10, 0, 0, 80), true}, {At(10, 0, 0, 120), false}}, {At(10, 0, 0, 80), At(10, 0, 0, 120)}, At(10, 0, 0, 120), false},
        FilterCase{"FrameAtTheEndIsPassed", {{At(10, 4, 59, 960), true}, {kEnd, false}}, {At(10, 4, 59, 960), kEnd}, kEnd, false},
        FilterCase{"FirstFrameAfterTheEndFinishes", {{At(10, 4, 59, 960), true}, {At(10, 5, 0, 40), true}}, {At(10, 4, 59, 960)}, At(10, 5, 0, 40), true},
        FilterCase{"PastTheEndWhileWaitingForAKeyFrame", {{At(10, 5, 0, 40), false}}, {}, At(10, 5, 0, 40), true},
        FilterCase{"OlderFramesOfAResumedReplayAreIgnored", {{At(10, 1, 0), true}, {At(10, 0, 59), true}, {At(10, 1, 0), true}, {At(10, 1, 0, 40), false}}, {At(10, 1, 0), At(10, 1, 0, 40)}, At(10, 1, 0, 40), false},
        FilterCase{"AFrameTheHostRefusedLeavesThePointReached", {{At(10, 0, 1), true, false}, {At(10, 0, 1), true}}, {At(10, 0, 1)}, At(10, 0, 1), false}),
    [](const testing::TestParamInfo<FilterCase>& info) { return info.param.name; });

// A replay over RTSP as its packets come, without a camera.
class PacketTask : public CBaseRTSPEdgeStorageTask {
public:
    using CBaseRTSPEdgeStorageTask::BeginReplay;
    using CBaseRTSPEdgeStorageTask::CBaseRTSPEdgeStorageTask;
    using CBaseRTSPEdgeStorageTask::SetMediaParser;
    bool Process(uint64_t&) override { return false; }
};

// Recordings are cut into replays at any frame: the first packet's timestamp
// stands for the replay's start even when the first key frame comes later.
TEST(RTSPReplay, FramesBeforeTheFirstKeyFrameStillSetTheTimeReference) {
    FakeDriver driver;
    FakeFrameAllocator allocator;
    driver.m_allocator = &allocator;
    RecordingUser user;
    PacketTask task(user, &driver);
    task.SetMediaParser(std::make_unique<CH264RTPMediaParser>(task));
    task.Start(0, kBegin, kEnd);
    task.BeginReplay(kBegin);
    constexpr uint32_t kTicksPer100Ms = 9000;
    const std::vector<uint8_t> sps = ReadVideoFile("h264_sps_1280x720.bin");
    const std::vector<uint8_t> pps = {0x68, 0xCE, 0x38, 0x80};
    const sockaddr_in camera{};
    uint16_t sequence = 7;
    task.OnRTPPacket(camera, MakeRtpPacket(sequence++, 90000, true, std::vector<uint8_t>{0x41, 0x9A})); // P frame
    const uint32_t key = 90000 + kTicksPer100Ms;
    task.OnRTPPacket(camera, MakeRtpPacket(sequence++, key, false, sps));
    task.OnRTPPacket(camera, MakeRtpPacket(sequence++, key, false, pps));
    task.OnRTPPacket(camera, MakeRtpPacket(sequence++, key, true, std::vector<uint8_t>{0x65, 0x88}));
    task.OnRTPPacket(camera, MakeRtpPacket(sequence++, key + kTicksPer100Ms, true, std::vector<uint8_t>{0x41, 0x9A}));
    EXPECT_EQ(user.Times(), (std::vector<uint64_t>{At(10, 0, 0, 100), At(10, 0, 0, 200)}));
}

} // namespace
} // namespace talvex::test

#include "audio/CBaseAudioOutputChannel.h"

#include "audio/CAudioOutputChannel.h"
#include "support/FakeDriver.h"
#include "support/WaitUntil.h"
#include "unit/audio/FakeAudioHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>

namespace talvex::test {
namespace {

using Clock = std::chrono::steady_clock;
using ipcapture::ChannelFailed;
using ipcapture::ChannelRunning;
using ipcapture::ChannelSignalLost;
using ipcapture::ChannelStarting;
using ipcapture::ChannelStopped;
using ipcapture::ChannelStopping;

constexpr uint32_t kRefreshMs = 40;

// The camera side scripted: each preparation and each upload answers from a
// list (true once the list is used up), and the times of the attempts are kept.
class ScriptedOutputChannel : public CBaseAudioOutputChannel {
public:
    ScriptedOutputChannel(IDriver* driver, ipcapture::IAudioSenderCallback* callback,
                          ipcapture::IAudioFormatList* formats)
        : CBaseAudioOutputChannel(driver, 0, 9, callback, formats, kRefreshMs) {}
    ~ScriptedOutputChannel() override { StopChannel(); }

    std::deque<bool> initResults;
    std::deque<bool> sendResults;

    std::vector<Clock::time_point> InitTimes() {
        std::lock_guard lock(m_mutex);
        return m_initTimes;
    }
    std::vector<size_t> SentSizes() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

protected:
    void SelectFormat() override { SetFormat(AudioFormat{}); }
    bool InitializeAudioDevice() override {
        std::lock_guard lock(m_mutex);
        m_initTimes.push_back(Clock::now());
        return Next(initResults);
    }
    bool SendAudioFrameToDevice(ipcapture::IAudioFrame* frame) override {
        std::lock_guard lock(m_mutex);
        const bool sent = Next(sendResults);
        if (sent)
            m_sent.push_back(frame->GetDataSize());
        return sent;
    }
    void CloseUpload() override {}

private:
    static bool Next(std::deque<bool>& results) {
        if (results.empty())
            return true;
        const bool result = results.front();
        results.pop_front();
        return result;
    }

    std::mutex m_mutex;
    std::vector<Clock::time_point> m_initTimes;
    std::vector<size_t> m_sent;
};

class OutputChannelRig {
public:
    OutputChannelRig() {
        driver.m_allocator = &allocator;
        formats.formats.emplace_back(kFourccG711MuLaw);
    }
    std::unique_ptr<ScriptedOutputChannel> Make() {
        return std::make_unique<ScriptedOutputChannel>(&driver, &callback, &formats);
    }
    std::vector<uint32_t> Statuses() const { return callback.record.Statuses(); }
    bool StatusesEndWith(const std::vector<uint32_t>& tail) const {
        const std::vector<uint32_t> all = Statuses();
        return all.size() >= tail.size() && std::equal(tail.begin(), tail.end(), all.end() - tail.size());
    }

    FakeDriver driver;
    FakeAudioAllocator allocator;
    FakeAudioSenderCallback callback;
    FakeAudioFormatList formats;
};

struct FormatListCase {
    const char* name;
    std::vector<FakeAudioFormat> formats;
    uint32_t status;
};

class OutputHostFormatTest : public ::testing::TestWithParam<FormatListCase> {};

TEST_P(OutputHostFormatTest, PreparesOnlyForAUsableHostFormat) {
    OutputChannelRig rig;
    rig.formats.formats = GetParam().formats;
    auto channel = rig.Make();
    ASSERT_TRUE(channel->StartChannel());
    ASSERT_TRUE(WaitUntil([&] { return rig.Statuses().size() == 2; }));
    EXPECT_EQ(rig.Statuses(), (std::vector<uint32_t>{ChannelStarting, GetParam().status}));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, OutputHostFormatTest,
    ::testing::Values(FormatListCase{"MatchingCodec", {FakeAudioFormat(kFourccAac), FakeAudioFormat(kFourccG711MuLaw)},
                                     ChannelRunning},
                      FormatListCase{"OtherCodecsOnly", {FakeAudioFormat(kFourccG711ALaw)}, ChannelFailed},
                      FormatListCase{"MatchingButUnusable", {FakeAudioFormat(kFourccG711MuLaw, false)}, ChannelFailed},
                      FormatListCase{"EmptyList", {}, ChannelFailed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputRefreshTest, RetriesThePreparationEveryRefreshIntervalUntilItWorks) {
    OutputChannelRig rig;
    auto channel = rig.Make();
    channel->initResults = {false, false, false};
    ASSERT_TRUE(channel->StartChannel());
    ASSERT_TRUE(WaitUntil([&] { return channel->GetStatus() == ChannelRunning; }));
    const std::vector<Clock::time_point> times = channel->InitTimes();
    ASSERT_EQ(times.size(), 4u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(kRefreshMs));
    EXPECT_EQ(rig.Statuses(), (std::vector<uint32_t>{ChannelStarting, ChannelSignalLost, ChannelStarting,
                                                     ChannelSignalLost, ChannelStarting, ChannelSignalLost,
                                                     ChannelStarting, ChannelRunning}));
}

// Each frame that meets a lost signal tries the camera once; the retry item
// stays single however many frames came, so later frames do not wait behind
// a growing row of refresh pauses.
TEST(OutputRefreshTest, FramesDuringSignalLossLeaveOneRetryQueued) {
    OutputChannelRig rig;
    auto channel = rig.Make();
    channel->initResults = std::deque<bool>(200, false);
    ASSERT_TRUE(channel->StartChannel());
    ASSERT_TRUE(WaitUntil([&] { return channel->GetStatus() == ChannelSignalLost; }));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(channel->SendAudioFrame(rig.allocator.MakeFrame(kFourccG711MuLaw, 64000, 160)));
    ASSERT_TRUE(WaitUntil([&] { return rig.allocator.released == 5; }));
    EXPECT_LE(channel->QueuedCount(), 1u);
}

TEST(OutputSendTest, FramesGoOutInOrderAndAFailedUploadRecovers) {
    OutputChannelRig rig;
    auto channel = rig.Make();
    channel->sendResults = {true, false};
    ASSERT_TRUE(channel->StartChannel());
    ASSERT_TRUE(WaitUntil([&] { return channel->GetStatus() == ChannelRunning; }));
    for (size_t size : {100, 200, 300})
        ASSERT_TRUE(channel->SendAudioFrame(rig.allocator.MakeFrame(kFourccG711MuLaw, 64000, size)));
    ASSERT_TRUE(WaitUntil([&] { return rig.allocator.released == 3 && channel->GetStatus() == ChannelRunning; }));
    // 200 failed (signal lost); 300 prepared the camera again and went out.
    EXPECT_EQ(channel->SentSizes(), (std::vector<size_t>{100, 300}));
    EXPECT_TRUE(rig.StatusesEndWith({ChannelRunning, ChannelSignalLost, ChannelStarting, ChannelRunning}));
}

struct RefusedFrameCase {
    const char* name;
    uint32_t codec;
    uint32_t bitRate;
    uint32_t samplesPerSecond;
    bool stereo;
    size_t size;
};

class OutputRefusedFrameTest : public ::testing::TestWithParam<RefusedFrameCase> {};

TEST_P(OutputRefusedFrameTest, FrameThatDoesNotMatchStaysWithTheHost) {
    OutputChannelRig rig;
    auto channel = rig.Make();
    ASSERT_TRUE(channel->StartChannel());
    ASSERT_TRUE(WaitUntil([&] { return channel->GetStatus() == ChannelRunning; }));
    const RefusedFrameCase& c = GetParam();
    FakeAudioFrame* frame = rig.allocator.MakeFrame(c.codec, c.bitRate, c.size);
    frame->samplesPerSecond = c.samplesPerSecond;
    frame->isStereo = c.stereo;
    EXPECT_FALSE(channel->SendAudioFrame(frame));
    EXPECT_EQ(channel->QueuedCount(), 0u);
    EXPECT_EQ(rig.allocator.released.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, OutputRefusedFrameTest,
    ::testing::Values(RefusedFrameCase{"OtherCodec", kFourccG711ALaw, 64000, 8000, false, 160},
                      RefusedFrameCase{"OtherBitRate", kFourccG711MuLaw, 32000, 8000, false, 160},
                      RefusedFrameCase{"OtherRate", kFourccG711MuLaw, 64000, 16000, false, 160},
                      RefusedFrameCase{"Stereo", kFourccG711MuLaw, 64000, 8000, true, 160},
                      RefusedFrameCase{"NoBytes", kFourccG711MuLaw, 64000, 8000, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputStopTest, StopReturnsQueuedFramesAndEndsStopped) {
    OutputChannelRig rig;
    auto channel = rig.Make();
    channel->initResults = {false};
    ASSERT_TRUE(channel->StartChannel());
    ASSERT_TRUE(WaitUntil([&] { return channel->GetStatus() == ChannelSignalLost; }));
    for (int i = 0; i < 3; ++i)
        channel->SendAudioFrame(rig.allocator.MakeFrame(kFourccG711MuLaw, 64000, 160));
    EXPECT_TRUE(channel->StopChannel());
    EXPECT_EQ(rig.allocator.released.load(), rig.allocator.allocated.load());
    EXPECT_TRUE(rig.StatusesEndWith({ChannelStopping, ChannelStopped}));
    EXPECT_FALSE(channel->SendAudioFrame(rig.allocator.MakeFrame(kFourccG711MuLaw, 64000, 160)));
}

struct BudgetCase {
    const char* name;
    uint32_t frameSize;
    uint32_t budget;
};

class UploadBudgetTest : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(UploadBudgetTest, LargestMultipleOfTheFrameSize) {
    EXPECT_EQ(CAudioOutputChannel::UploadBudget(GetParam().frameSize), GetParam().budget);
}

INSTANTIATE_TEST_SUITE_P(Frames, UploadBudgetTest,
                         ::testing::Values(BudgetCase{"G711Frame", 2000, 9998000}, BudgetCase{"OneByte", 1, 9999999},
                                           BudgetCase{"NotADivisor", 7, 9999997},
                                           BudgetCase{"WholeBudget", 9999999, 9999999},
                                           BudgetCase{"LargerThanTheBudget", 10000000, 0},
                                           BudgetCase{"NoFrame", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex::test

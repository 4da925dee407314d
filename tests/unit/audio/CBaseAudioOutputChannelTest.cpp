#include "audio/CBaseAudioOutputChannel.h"

#include "audio/CAudioOutputChannel.h"
#include "audio/CIPAudioCapture.h"
#include "audio/CIPAudioSender.h"
#include "support/FakeDriver.h"
#include "support/WaitUntil.h"
#include "unit/audio/FakeAudioHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <map>
#include <ostream>

namespace talvex::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace ipcapture;

constexpr uint32_t kRefreshMs = 40;

// The camera side scripted: each preparation and each upload answers from a
// list (true once the list is used up); preparation times and sent sizes are kept.
class ScriptedOutputChannel : public CBaseAudioOutputChannel {
public:
    ScriptedOutputChannel(IDriver* driver, IAudioSenderCallback* callback, IAudioFormatList* formats)
        : CBaseAudioOutputChannel(driver, 0, 9, callback, formats, kRefreshMs) {}
    ~ScriptedOutputChannel() override { StopChannel(); }

    std::deque<bool> initResults, sendResults;
    std::vector<Clock::time_point> initTimes;
    std::vector<size_t> sent;

protected:
    void SelectFormat() override { SetFormat(AudioFormat{}); }
    bool InitializeAudioDevice() override {
        initTimes.push_back(Clock::now());
        return Next(initResults);
    }
    bool SendAudioFrameToDevice(IAudioFrame* frame) override {
        const bool ok = Next(sendResults);
        if (ok)
            sent.push_back(frame->GetDataSize());
        return ok;
    }
    void CloseUpload() override {}

private:
    static bool Next(std::deque<bool>& results) {
        const bool result = results.empty() || results.front();
        if (!results.empty())
            results.pop_front();
        return result;
    }
};

struct OutputRig {
    OutputRig() {
        driver.m_allocator = &allocator;
        formats.formats.emplace_back(kFourccG711MuLaw);
    }
    // Starts a channel and waits until it reaches status.
    std::unique_ptr<ScriptedOutputChannel> Start(uint32_t status, std::deque<bool> initResults = {}) {
        auto channel = std::make_unique<ScriptedOutputChannel>(&driver, &callback, &formats);
        channel->initResults = std::move(initResults);
        EXPECT_TRUE(channel->StartChannel());
        EXPECT_TRUE(WaitUntil([&] { return channel->GetStatus() == status; }));
        return channel;
    }
    IAudioFrame* Frame(size_t size) { return allocator.MakeFrame(kFourccG711MuLaw, 64000, size); }

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

void PrintTo(const FormatListCase& value, std::ostream* out) { *out << value.name; }

class OutputHostFormatTest : public ::testing::TestWithParam<FormatListCase> {};

TEST_P(OutputHostFormatTest, PreparesOnlyForAUsableHostFormat) {
    OutputRig rig;
    rig.formats.formats = GetParam().formats;
    auto channel = rig.Start(GetParam().status);
    EXPECT_EQ(rig.callback.Statuses(), (std::vector<uint32_t>{ChannelStarting, GetParam().status}));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, OutputHostFormatTest,
    ::testing::Values(FormatListCase{"MatchingCodec", {FakeAudioFormat(kFourccAac), FakeAudioFormat(kFourccG711MuLaw)}, ChannelRunning},
                      FormatListCase{"OtherCodecsOnly", {FakeAudioFormat(kFourccG711ALaw)}, ChannelFailed},
                      FormatListCase{"MatchingButUnusable", {FakeAudioFormat(kFourccG711MuLaw, false)}, ChannelFailed},
                      FormatListCase{"EmptyList", {}, ChannelFailed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputRefreshTest, RetriesThePreparationEveryRefreshIntervalUntilItWorks) {
    OutputRig rig;
    auto channel = rig.Start(ChannelRunning, {false, false, false});
    ASSERT_EQ(channel->initTimes.size(), 4u);
    for (size_t i = 1; i < channel->initTimes.size(); ++i)
        EXPECT_GE(channel->initTimes[i] - channel->initTimes[i - 1], std::chrono::milliseconds(kRefreshMs));
    EXPECT_EQ(rig.callback.Statuses(),
              (std::vector<uint32_t>{ChannelStarting, ChannelSignalLost, ChannelStarting, ChannelSignalLost,
                                     ChannelStarting, ChannelSignalLost, ChannelStarting, ChannelRunning}));
}

// Each frame that meets a lost signal tries the camera once; the retry item
// stays single, so later frames do not wait behind a growing row of pauses.
TEST(OutputRefreshTest, FramesDuringSignalLossLeaveOneRetryQueued) {
    OutputRig rig;
    auto channel = rig.Start(ChannelSignalLost, std::deque<bool>(200, false));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(channel->SendAudioFrame(rig.Frame(160)));
    ASSERT_TRUE(WaitUntil([&] { return rig.allocator.released == 5; }));
    EXPECT_LE(channel->QueuedCount(), 1u);
}

TEST(OutputSendTest, FrameAfterAFailedUploadPreparesTheCameraAgain) {
    OutputRig rig;
    auto channel = rig.Start(ChannelRunning);
    channel->sendResults = {true, false};
    for (size_t size : {100, 200, 300})
        ASSERT_TRUE(channel->SendAudioFrame(rig.Frame(size)));
    ASSERT_TRUE(WaitUntil([&] { return rig.allocator.released == 3 && channel->GetStatus() == ChannelRunning; }));
    EXPECT_EQ(channel->sent, (std::vector<size_t>{100, 300}));
    EXPECT_EQ(channel->initTimes.size(), 2u);
}

struct RefusedFrameCase {
    const char* name;
    uint32_t codec, bitRate, samplesPerSecond;
    bool stereo;
    size_t size;
};

void PrintTo(const RefusedFrameCase& value, std::ostream* out) { *out << value.name; }

class OutputRefusedFrameTest : public ::testing::TestWithParam<RefusedFrameCase> {};

TEST_P(OutputRefusedFrameTest, FrameThatDoesNotMatchStaysWithTheHost) {
    OutputRig rig;
    auto channel = rig.Start(ChannelRunning);
    const RefusedFrameCase& c = GetParam();
    FakeAudioFrame* frame = rig.allocator.MakeFrame(c.codec, c.bitRate, c.size);
    frame->samplesPerSecond = c.samplesPerSecond;
    frame->isStereo = c.stereo;
    EXPECT_FALSE(channel->SendAudioFrame(frame));
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
    OutputRig rig;
    auto channel = rig.Start(ChannelSignalLost, {false});
    for (int i = 0; i < 3; ++i)
        channel->SendAudioFrame(rig.Frame(160));
    EXPECT_TRUE(channel->StopChannel());
    EXPECT_EQ(rig.allocator.released.load(), rig.allocator.allocated.load());
    EXPECT_EQ(rig.callback.Statuses().back(), uint32_t(ChannelStopped));
    EXPECT_FALSE(channel->SendAudioFrame(rig.Frame(160)));
}

struct BudgetCase {
    const char* name;
    uint32_t frameSize, budget;
};

void PrintTo(const BudgetCase& value, std::ostream* out) { *out << value.name; }

class UploadBudgetTest : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(UploadBudgetTest, LargestMultipleOfTheFrameSize) {
    EXPECT_EQ(CAudioOutputChannel::UploadBudget(GetParam().frameSize), GetParam().budget);
}

INSTANTIATE_TEST_SUITE_P(Frames, UploadBudgetTest,
                         ::testing::Values(BudgetCase{"NotADivisor", 7, 9999997},
                                           BudgetCase{"WholeBudget", 9999999, 9999999},
                                           BudgetCase{"LargerThanTheBudget", 10000000, 0}, BudgetCase{"NoFrame", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });


// What the audio objects did with the channels they were given.
struct ChannelLedger {
    int made = 0, destroyed = 0;
    bool startWorks = true;
    std::map<uint32_t, std::vector<uint32_t>> frameSizesById;
};

// One fake for both directions: the objects only start, stop, ask and hand over.
class LedgerChannel : public IAudioInputChannel, public IAudioOutputChannel {
public:
    LedgerChannel(ChannelLedger& ledger, uint32_t id) : m_ledger(ledger), m_id(id) { ++m_ledger.made; }
    ~LedgerChannel() override { ++m_ledger.destroyed; }
    bool StartChannel() override { return m_ledger.startWorks; }
    bool StopChannel() override { return true; }
    uint32_t GetStatus() override { return ipcapture::ChannelRunning; }
    bool GetAudioFormat(ipcapture::IAudioFormat*) override { return true; }
    bool SendAudioFrame(ipcapture::IAudioFrame* frame) override {
        m_ledger.frameSizesById[m_id].push_back(frame->GetDataSize());
        return true;
    }

private:
    ChannelLedger& m_ledger;
    uint32_t m_id;
};

class LedgerCreator : public IAudioChannelCreator {
public:
    IAudioInputChannel* CreateAudioInputChannel(uint32_t id, uint32_t, ipcapture::IAudioCaptureCallback*, void*) override {
        return new LedgerChannel(ledger, id);
    }
    IAudioOutputChannel* CreateAudioOutputChannel(uint32_t id, uint32_t, ipcapture::IAudioSenderCallback*,
                                                  ipcapture::IAudioFormatList*) override {
        return new LedgerChannel(ledger, id);
    }
    ChannelLedger ledger;
};

TEST(CIPAudioCaptureTest, RunningIdAnswersTrueAndTheLimitHolds) {
    LedgerCreator creator;
    CIPAudioCapture capture(&creator, 1);
    EXPECT_TRUE(capture.StartChannel(5, 0, nullptr, nullptr));
    EXPECT_TRUE(capture.StartChannel(5, 0, nullptr, nullptr));
    EXPECT_FALSE(capture.StartChannel(6, 0, nullptr, nullptr));
    EXPECT_EQ(creator.ledger.made, 1);
    EXPECT_EQ(capture.GetChannelCount(), 1u);
}

TEST(CIPAudioCaptureTest, ChannelThatDoesNotStartIsDestroyed) {
    LedgerCreator creator;
    creator.ledger.startWorks = false;
    CIPAudioCapture capture(&creator, 1);
    EXPECT_FALSE(capture.StartChannel(1, 0, nullptr, nullptr));
    EXPECT_EQ(creator.ledger.destroyed, 1);
    EXPECT_EQ(capture.GetChannelStatus(1), uint32_t(ipcapture::ChannelStopped));
}

TEST(CIPAudioSenderTest, FramesGoToTheChannelTheirNumberNames) {
    LedgerCreator creator;
    FakeAudioAllocator allocator;
    CIPAudioSender sender(&creator, 2);
    ASSERT_TRUE(sender.StartChannel(1, 0, nullptr, nullptr));
    ASSERT_TRUE(sender.StartChannel(2, 0, nullptr, nullptr));
    EXPECT_TRUE(sender.SendAudio(allocator.MakeFrame(kFourccG726, 24000, 10, 2)));
    EXPECT_TRUE(sender.SendAudio(allocator.MakeFrame(kFourccG726, 24000, 20, 1)));
    EXPECT_FALSE(sender.SendAudio(allocator.MakeFrame(kFourccG726, 24000, 30, 3)));
    EXPECT_EQ(creator.ledger.frameSizesById[1], (std::vector<uint32_t>{20}));
    EXPECT_EQ(creator.ledger.frameSizesById[2], (std::vector<uint32_t>{10}));
}

} // namespace
} // namespace talvex::test

#include "audio/CIPAudioCapture.h"

#include "audio/AudioFormat.h"
#include "audio/CIPAudioSender.h"
#include "unit/audio/FakeAudioHost.h"

#include <gtest/gtest.h>

#include <map>

namespace talvex::test {
namespace {

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

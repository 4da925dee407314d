#include "audio/CIPAudioCapture.h"

#include "audio/AudioFormat.h"
#include "audio/CIPAudioSender.h"
#include "unit/audio/FakeAudioHost.h"

#include <gtest/gtest.h>

#include <map>

namespace talvex::test {
namespace {

// Channels that start as told and count what the objects did with them.
struct ChannelLedger {
    int made = 0;
    int destroyed = 0;
    bool startWorks = true;
    std::map<uint32_t, std::vector<uint8_t>> framesById;
};

class LedgerInputChannel : public IAudioInputChannel {
public:
    explicit LedgerInputChannel(ChannelLedger& ledger) : m_ledger(ledger) { ++m_ledger.made; }
    ~LedgerInputChannel() override { ++m_ledger.destroyed; }
    bool StartChannel() override { return m_ledger.startWorks; }
    bool StopChannel() override { return true; }
    uint32_t GetStatus() override { return ipcapture::ChannelRunning; }

private:
    ChannelLedger& m_ledger;
};

class LedgerOutputChannel : public IAudioOutputChannel {
public:
    LedgerOutputChannel(ChannelLedger& ledger, uint32_t id) : m_ledger(ledger), m_id(id) { ++m_ledger.made; }
    ~LedgerOutputChannel() override { ++m_ledger.destroyed; }
    bool StartChannel() override { return m_ledger.startWorks; }
    bool StopChannel() override { return true; }
    uint32_t GetStatus() override { return ipcapture::ChannelRunning; }
    bool GetAudioFormat(ipcapture::IAudioFormat* format) override {
        format->SetCodec(kFourccG726);
        return true;
    }
    bool SendAudioFrame(ipcapture::IAudioFrame* frame) override {
        m_ledger.framesById[m_id].push_back(uint8_t(frame->GetDataSize()));
        return true;
    }

private:
    ChannelLedger& m_ledger;
    uint32_t m_id;
};

class LedgerCreator : public IAudioChannelCreator {
public:
    IAudioInputChannel* CreateAudioInputChannel(uint32_t, uint32_t, ipcapture::IAudioCaptureCallback*, void*) override {
        return new LedgerInputChannel(ledger);
    }
    IAudioOutputChannel* CreateAudioOutputChannel(uint32_t id, uint32_t, ipcapture::IAudioSenderCallback*,
                                                  ipcapture::IAudioFormatList*) override {
        return new LedgerOutputChannel(ledger, id);
    }
    ChannelLedger ledger;
};

TEST(CIPAudioCaptureTest, RunningIdAnswersTrueWithoutANewChannel) {
    LedgerCreator creator;
    CIPAudioCapture capture(&creator, 2);
    EXPECT_TRUE(capture.StartChannel(5, 0, nullptr, nullptr));
    EXPECT_TRUE(capture.StartChannel(5, 0, nullptr, nullptr));
    EXPECT_EQ(creator.ledger.made, 1);
    EXPECT_EQ(capture.GetChannelCount(), 1u);
}

TEST(CIPAudioCaptureTest, ChannelBeyondTheLimitIsRefused) {
    LedgerCreator creator;
    CIPAudioCapture capture(&creator, 1);
    EXPECT_TRUE(capture.StartChannel(1, 0, nullptr, nullptr));
    EXPECT_FALSE(capture.StartChannel(2, 0, nullptr, nullptr));
    EXPECT_EQ(creator.ledger.made, 1);
}

TEST(CIPAudioCaptureTest, ChannelThatDoesNotStartIsDestroyed) {
    LedgerCreator creator;
    creator.ledger.startWorks = false;
    CIPAudioCapture capture(&creator, 1);
    EXPECT_FALSE(capture.StartChannel(1, 0, nullptr, nullptr));
    EXPECT_EQ(creator.ledger.destroyed, 1);
    EXPECT_EQ(capture.GetChannelCount(), 0u);
    EXPECT_EQ(capture.GetChannelStatus(1), uint32_t(ipcapture::ChannelStopped));
}

TEST(CIPAudioCaptureTest, StopRemovesTheChannelAndUnknownIdsFail) {
    LedgerCreator creator;
    {
        CIPAudioCapture capture(&creator, 2);
        capture.StartChannel(1, 0, nullptr, nullptr);
        capture.StartChannel(2, 0, nullptr, nullptr);
        EXPECT_TRUE(capture.StopChannel(1));
        EXPECT_FALSE(capture.StopChannel(1));
        EXPECT_EQ(creator.ledger.destroyed, 1);
    }
    // The object's end stops and destroys what still runs.
    EXPECT_EQ(creator.ledger.destroyed, 2);
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
    EXPECT_EQ(creator.ledger.framesById[1], (std::vector<uint8_t>{20}));
    EXPECT_EQ(creator.ledger.framesById[2], (std::vector<uint8_t>{10}));
}

TEST(CIPAudioSenderTest, FormatComesFromARunningChannelOnly) {
    LedgerCreator creator;
    CIPAudioSender sender(&creator, 1);
    FakeAudioFormat format;
    EXPECT_FALSE(sender.GetAudioFormat(1, &format));
    ASSERT_TRUE(sender.StartChannel(1, 0, nullptr, nullptr));
    EXPECT_TRUE(sender.GetAudioFormat(1, &format));
    EXPECT_EQ(format.codec, kFourccG726);
}

} // namespace
} // namespace talvex::test

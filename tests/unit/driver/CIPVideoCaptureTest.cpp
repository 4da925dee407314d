// The video capture object: its table of channels and streams, and the motion
// slot it fills with the host's motion flag after a good start.
#include "driver/CIPVideoCapture.h"

#include "support/FakeChannelHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talvex {
namespace {

// Every stop and deletion the capture object caused, in order, kept after the channels are gone.
using Journal = std::vector<std::string>;

// What happened to one video channel a fake creator made.
struct ChannelRecord {
    uint32_t codecType = 0;
    std::optional<uint32_t> option;
    std::vector<ChannelStartParameters> starts;
    int suspends = 0;
    bool deleted = false;
};

class FakeChannel : public ICameraChannel {
public:
    FakeChannel(ipcapture::IVideoChannelCallback* callback, ChannelRecord& record, Journal& journal, bool starts)
        : m_callback(callback), m_record(record), m_journal(journal), m_starts(starts) {}
    ~FakeChannel() override {
        m_record.deleted = true;
        m_journal.push_back("video deleted");
    }

    uint32_t GetChannel() const override { return 0; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return m_callback; }
    void SetEdgeMonitor(IEdgeStorageCallback*) override {}
    void SetPictureSize(uint16_t, uint16_t) override {}
    void SetChannelOption(uint32_t option) override { m_record.option = option; }
    bool Start(const ChannelStartParameters& parameters) override {
        m_record.starts.push_back(parameters);
        return m_starts;
    }
    void Stop() override { m_journal.push_back("video stopped"); }
    bool Restart(const ChannelStartParameters& parameters) override {
        m_record.starts.push_back(parameters);
        return true;
    }
    bool Suspend() override { return ++m_record.suspends == 1; }
    bool Resume() override { return m_record.suspends > 0; }
    uint32_t GetState() override { return m_starts ? kChannelStreaming : kChannelStopped; }
    std::pair<uint16_t, uint16_t> GetPictureSize() override {
        return {m_record.starts.back().width, m_record.starts.back().height};
    }

private:
    ipcapture::IVideoChannelCallback* m_callback;
    ChannelRecord& m_record;
    Journal& m_journal;
    bool m_starts;
};

class FakeMotion : public IMotionChannel {
public:
    FakeMotion(Journal& journal, uint32_t channel, bool starts) : m_journal(journal), m_channel(channel), m_starts(starts) {}
    ~FakeMotion() override { m_journal.push_back("motion deleted"); }
    uint32_t GetChannel() const override { return m_channel; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return nullptr; }
    void SetEdgeMonitor(IEdgeStorageCallback*) override {}
    bool Start() override {
        m_journal.push_back("motion started for " + std::to_string(m_channel));
        return m_starts;
    }
    void Stop() override { m_journal.push_back("motion stopped"); }
    bool IsSignalOk() const override { return false; }
    void AbortRequest() override {}

private:
    Journal& m_journal;
    uint32_t m_channel;
    bool m_starts;
};

class FakeCreator : public IVideoChannelCreator {
public:
    ICameraChannel* CreateVideoChannel(uint32_t, ipcapture::IVideoChannelCallback* callback,
                                       uint32_t codecType) override {
        if (refuse)
            return nullptr;
        records.push_back(std::make_unique<ChannelRecord>());
        records.back()->codecType = codecType;
        return new FakeChannel(callback, *records.back(), journal, videoStarts);
    }
    IMotionChannel* CreateMotionChannel(uint32_t channel, ipcapture::IVideoChannelCallback* callback) override {
        if (!makeMotion)
            return nullptr;
        lastMotionCallback = callback;
        return new FakeMotion(journal, channel, motionStarts);
    }

    std::vector<std::unique_ptr<ChannelRecord>> records;
    Journal journal;
    bool refuse = false, videoStarts = true, makeMotion = true, motionStarts = true;
    ipcapture::IVideoChannelCallback* lastMotionCallback = nullptr;
};

// The host's channel settings: one object serves as the settings, their parts and the picture size.
class FakeSettings : public ipcapture::IVideoChannelSettings,
                     public ipcapture::IVideoStreamSettings,
                     public ipcapture::IVideoPictureSettings,
                     public ipcapture::IVideoSize {
public:
    const IVideoStreamSettings* GetStreamSettings() const override { return this; }
    const IVideoPictureSettings* GetPictureSettings() const override { return this; }
    const char* GetChannelName() const override { return "cam"; }
    uint32_t GetChannelFlags() const override { return 0; }
    uint32_t GetChannelOption() const override { return 9; }
    uint32_t GetBitRate() const override { return 0; }
    uint32_t GetFrameRate() const override { return 0; }
    const IVideoSize* GetSize() const override { return this; }
    uint32_t GetCodecType() const override { return 3; }
    uint16_t GetFirstValue() const override { return 40; }
    uint16_t GetQuality() const override { return 0; }
    uint16_t GetSecondValue() const override { return 80; }
    uint32_t GetMotionDetection() const override { return motionDetection; }
    uint16_t GetWidth() const override { return 640; }
    uint16_t GetHeight() const override { return 480; }

    uint32_t motionDetection = 0; // non-zero: the host also asks for motion detection
};

class CIPVideoCaptureTest : public ::testing::Test {
protected:
    FakeCreator creator;
    FakeSettings settings;
    test::FakeChannelSink callback;
    CIPVideoCapture capture{&creator, 2};
};

TEST_F(CIPVideoCaptureTest, ChannelThatCannotBeMadeStoresNothing) {
    EXPECT_EQ(capture.GetChannelCount(), 2u);
    EXPECT_FALSE(capture.StartChannel(2, &callback, &settings)); // beyond the table
    EXPECT_TRUE(creator.records.empty());
    creator.refuse = true;
    EXPECT_FALSE(capture.StartChannel(0, &callback, &settings));
    EXPECT_FALSE(capture.StopChannel(0));
}

TEST_F(CIPVideoCaptureTest, StartChannelHandsOverTheRecordTheOptionAndThePictureSize) {
    EXPECT_EQ(capture.GetPictureSize(1), (std::pair<uint16_t, uint16_t>{0, 0}));
    ASSERT_TRUE(capture.StartChannel(1, &callback, &settings));
    ASSERT_EQ(creator.records.size(), 1u);
    const ChannelRecord& record = *creator.records[0];
    EXPECT_EQ(record.codecType, 3u);
    EXPECT_EQ(record.option, 9u);
    ASSERT_EQ(record.starts.size(), 1u);
    EXPECT_EQ(record.starts[0].firstValue, 40u);
    EXPECT_EQ(record.starts[0].secondValue, 80u);
    EXPECT_EQ(record.starts[0].kind, uint32_t(kRecordingChannel));
    EXPECT_EQ(capture.GetPictureSize(1), (std::pair<uint16_t, uint16_t>{640, 480}));
}

TEST_F(CIPVideoCaptureTest, ChannelWhoseStartFailedIsKeptAndStoppedByTheNextStop) {
    creator.videoStarts = false;
    EXPECT_FALSE(capture.StartChannel(0, &callback, &settings));
    EXPECT_TRUE(creator.journal.empty());
    EXPECT_TRUE(capture.StopChannel(0));
    EXPECT_EQ(creator.journal, (Journal{"video stopped", "video deleted"}));
    EXPECT_FALSE(capture.StopChannel(0));
}

TEST_F(CIPVideoCaptureTest, RestartingAChannelStopsThePreviousOne) {
    ASSERT_TRUE(capture.StartChannel(0, &callback, &settings));
    ASSERT_TRUE(capture.StartChannel(0, &callback, &settings));
    ASSERT_EQ(creator.records.size(), 2u);
    EXPECT_TRUE(creator.records[0]->deleted);
    EXPECT_FALSE(creator.records[1]->deleted);
}

TEST_F(CIPVideoCaptureTest, StreamsFillTheirOwnSlotsAndIndexFourIsRefused) {
    EXPECT_FALSE(capture.StartStream(0, 4, &callback, &settings));
    EXPECT_TRUE(creator.records.empty());
    ASSERT_TRUE(capture.StartStream(0, 3, &callback, &settings));
    ASSERT_TRUE(capture.StartStream(0, 1, &callback, &settings));
    ASSERT_EQ(creator.records.size(), 2u);
    EXPECT_EQ(creator.records[0]->starts[0].kind, 3u);
    EXPECT_EQ(creator.records[0]->option, std::nullopt);
    EXPECT_FALSE(capture.StopStream(0, 2));
    EXPECT_TRUE(capture.StopStream(0, 3));
    EXPECT_EQ(creator.journal.size(), 2u);
    EXPECT_FALSE(capture.StopStream(0, 3));
    // StopChannel empties every slot of the entry.
    EXPECT_TRUE(capture.StopChannel(0));
    EXPECT_EQ(creator.journal.size(), 4u);
}

TEST_F(CIPVideoCaptureTest, EdgeStorageStateIsTheOnlyPropertyAndOnlyAsA16BitInteger) {
    const int16_t on = 1, off = 0;
    int16_t read = -1;
    EXPECT_TRUE(capture.SetProperty("edgestoragestate", &on, 2));
    EXPECT_TRUE(capture.GetProperty("EdgeStorageState", &read, 2));
    EXPECT_EQ(read, 1);
    EXPECT_FALSE(capture.SetProperty("EdgeStorageState", &off, 3));
    EXPECT_FALSE(capture.SetProperty(nullptr, &off, 2));
    EXPECT_FALSE(capture.SetProperty("EdgeStorageState", nullptr, 2));
    EXPECT_FALSE(capture.SetProperty("OtherState", &off, 2));
    EXPECT_TRUE(capture.IsEdgeStorageOn());
    EXPECT_FALSE(capture.GetProperty("EdgeStorageState", &read, 3));
    EXPECT_TRUE(capture.SetProperty("EDGESTORAGESTATE", &off, 2));
    EXPECT_TRUE(capture.GetProperty("EdgeStorageState", &read, 2));
    EXPECT_EQ(read, 0);
}

TEST_F(CIPVideoCaptureTest, StatusSuspendResumeAndUpdateGoToTheRecordingChannel) {
    uint32_t status = 99, extra = 99;
    char text[8] = "junk";
    EXPECT_FALSE(capture.GetChannelStatus(0, &status, &extra, text, sizeof text));
    EXPECT_EQ(extra, 0u);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(status, 99u);
    EXPECT_FALSE(capture.SuspendChannel(0));
    EXPECT_FALSE(capture.ResumeChannel(0));
    ASSERT_TRUE(capture.StartChannel(0, &callback, &settings));
    EXPECT_TRUE(capture.GetChannelStatus(0, &status, &extra, nullptr, 0));
    EXPECT_EQ(status, uint32_t(kChannelStreaming));
    // A live stream alone does not answer for the channel.
    ASSERT_TRUE(capture.StartStream(1, 1, &callback, &settings));
    EXPECT_FALSE(capture.GetChannelStatus(1, &status, &extra, nullptr, 0));
    EXPECT_TRUE(capture.SuspendChannel(0));
    EXPECT_FALSE(capture.SuspendChannel(0));
    EXPECT_TRUE(capture.ResumeChannel(0));
    class Size : public ipcapture::IVideoSizeSource {
    public:
        uint16_t GetWidth() const override { return 320; }
        uint16_t GetHeight() const override { return 240; }
    } size;
    EXPECT_TRUE(capture.UpdateChannel(0, &size, 25));
    const ChannelStartParameters& update = creator.records[0]->starts.back();
    EXPECT_EQ(update.firstValue, 25u);
    EXPECT_EQ(update.secondValue, 0u);
    EXPECT_EQ(update.width, 320);
    EXPECT_FALSE(capture.UpdateChannel(1, &size, 25));
    EXPECT_FALSE(capture.SendChannelCommand(0, 1));
}

TEST_F(CIPVideoCaptureTest, DestructionStopsAndDeletesEveryChannel) {
    {
        CIPVideoCapture local(&creator, 2);
        ASSERT_TRUE(local.StartChannel(0, &callback, &settings));
        ASSERT_TRUE(local.StartStream(1, 2, &callback, &settings));
    }
    EXPECT_EQ(creator.journal, (Journal{"video stopped", "video deleted", "video stopped", "video deleted"}));
}

struct MotionCase {
    const char* name;
    uint32_t motionFlag;
    bool videoStarts, makeMotion, motionStarts;
    bool result;
    Journal journal;
};

void PrintTo(const MotionCase& c, std::ostream* out) { *out << c.name; }

class CIPVideoCaptureMotion : public CIPVideoCaptureTest, public ::testing::WithParamInterface<MotionCase> {};

TEST_P(CIPVideoCaptureMotion, IsStartedOnlyWithTheFlagAfterAGoodStart) {
    const MotionCase& c = GetParam();
    creator.videoStarts = c.videoStarts;
    creator.makeMotion = c.makeMotion;
    creator.motionStarts = c.motionStarts;
    settings.motionDetection = c.motionFlag;
    EXPECT_EQ(capture.StartChannel(1, &callback, &settings), c.result);
    EXPECT_EQ(creator.journal, c.journal);
    EXPECT_TRUE(capture.StopChannel(1)) << "the video channel is kept also after a failed start";
}

INSTANTIATE_TEST_SUITE_P(
    Starts, CIPVideoCaptureMotion,
    ::testing::Values(MotionCase{"FlagSet", 1, true, true, true, true, {"motion started for 1"}},
                      MotionCase{"FlagClear", 0, true, true, true, true, {}},
                      MotionCase{"VideoStartFailed", 1, false, true, true, false, {}},
                      MotionCase{"MotionStartFailedDecides", 1, true, true, false, false, {"motion started for 1"}},
                      MotionCase{"CreatorRefusedMotion", 1, true, false, true, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CIPVideoCaptureTest, MotionGetsTheChannelCallbackIsStoppedFirstAndOnlyForRecording) {
    settings.motionDetection = 1;
    ASSERT_TRUE(capture.StartChannel(0, &callback, &settings));
    EXPECT_EQ(creator.lastMotionCallback, &callback);
    creator.journal.clear();
    EXPECT_TRUE(capture.StopChannel(0));
    EXPECT_EQ(creator.journal, (Journal{"motion stopped", "motion deleted", "video stopped", "video deleted"}));
    creator.journal.clear();
    ASSERT_TRUE(capture.StartStream(0, kLiveChannel, &callback, &settings));
    EXPECT_TRUE(creator.journal.empty());
}

} // namespace
} // namespace talvex

#include "driver/CIPVideoCapture.h"

#include "unit/driver/FakeVideoChannelSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace talvex {
namespace {

// What happened to the channels a fake creator made, kept after they are deleted.
struct ChannelRecord {
    uint32_t codecType = 0;
    uint32_t option = 0;
    bool optionSet = false;
    std::vector<ChannelStartParameters> starts;
    int stops = 0;
    bool deleted = false;
    int suspends = 0;
};

class FakeChannel : public ICameraChannel {
public:
    FakeChannel(uint32_t index, ipcapture::IVideoChannelCallback* callback, ChannelRecord& record, bool startResult)
        : m_index(index), m_callback(callback), m_record(record), m_startResult(startResult) {}
    ~FakeChannel() override { m_record.deleted = true; }

    uint32_t GetChannel() const override { return m_index; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return m_callback; }
    void SetEdgeMonitor(IEdgeStorageCallback*) override {}
    void SetPictureSize(uint16_t, uint16_t) override {}
    void SetChannelOption(uint32_t option) override {
        m_record.option = option;
        m_record.optionSet = true;
    }
    bool Start(const ChannelStartParameters& parameters) override {
        m_record.starts.push_back(parameters);
        return m_startResult;
    }
    void Stop() override { ++m_record.stops; }
    bool Restart(const ChannelStartParameters& parameters) override {
        m_record.starts.push_back(parameters);
        return true;
    }
    bool Suspend() override { return ++m_record.suspends == 1; }
    bool Resume() override { return m_record.suspends > 0; }
    uint32_t GetState() override { return m_startResult ? kChannelStreaming : kChannelStopped; }
    std::pair<uint16_t, uint16_t> GetPictureSize() override {
        const ChannelStartParameters& last = m_record.starts.back();
        return {last.width, last.height};
    }

private:
    uint32_t m_index;
    ipcapture::IVideoChannelCallback* m_callback;
    ChannelRecord& m_record;
    bool m_startResult;
};

class FakeCreator : public IVideoChannelCreator {
public:
    ICameraChannel* CreateVideoChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* callback,
                                       uint32_t codecType) override {
        if (refuse)
            return nullptr;
        records.push_back(std::make_unique<ChannelRecord>());
        records.back()->codecType = codecType;
        return new FakeChannel(channelIndex, callback, *records.back(), startResult);
    }
    std::vector<std::unique_ptr<ChannelRecord>> records;
    bool refuse = false;
    bool startResult = true;
};

using FakeSettings = test::FakeVideoChannelSettings;

class FakeCallback : public ipcapture::IVideoChannelCallback {
public:
    bool OnFrame(ipcapture::IVideoFrame*) override { return true; }
    void OnStateChanged(uint32_t) override {}
    void OnSignalLost() override {}
};

class CIPVideoCaptureTest : public ::testing::Test {
protected:
    FakeCreator creator;
    FakeSettings settings;
    FakeCallback callback;
    CIPVideoCapture capture{&creator, 2};
};

TEST_F(CIPVideoCaptureTest, StartChannelBeyondTheTableCreatesNothing) {
    EXPECT_EQ(capture.GetChannelCount(), 2u);
    EXPECT_FALSE(capture.StartChannel(2, &callback, &settings));
    EXPECT_TRUE(creator.records.empty());
}

TEST_F(CIPVideoCaptureTest, StartChannelHandsOverTheRecordAndTheOption) {
    ASSERT_TRUE(capture.StartChannel(1, &callback, &settings));
    ASSERT_EQ(creator.records.size(), 1u);
    const ChannelRecord& record = *creator.records[0];
    EXPECT_EQ(record.codecType, 3u);
    EXPECT_TRUE(record.optionSet);
    EXPECT_EQ(record.option, 9u);
    ASSERT_EQ(record.starts.size(), 1u);
    EXPECT_EQ(record.starts[0].firstValue, 40u);
    EXPECT_EQ(record.starts[0].secondValue, 80u);
    EXPECT_EQ(record.starts[0].width, 640);
    EXPECT_EQ(record.starts[0].height, 480);
    EXPECT_EQ(record.starts[0].kind, uint32_t(kRecordingChannel));
}

TEST_F(CIPVideoCaptureTest, ChannelWhoseStartFailedIsKeptAndStoppedByTheNextStop) {
    creator.startResult = false;
    EXPECT_FALSE(capture.StartChannel(0, &callback, &settings));
    ASSERT_EQ(creator.records.size(), 1u);
    EXPECT_FALSE(creator.records[0]->deleted);
    EXPECT_TRUE(capture.StopChannel(0));
    EXPECT_EQ(creator.records[0]->stops, 1);
    EXPECT_TRUE(creator.records[0]->deleted);
    EXPECT_FALSE(capture.StopChannel(0));
}

TEST_F(CIPVideoCaptureTest, StartChannelWithoutAChannelStoresNothing) {
    creator.refuse = true;
    EXPECT_FALSE(capture.StartChannel(0, &callback, &settings));
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
    EXPECT_FALSE(creator.records[0]->optionSet);
    EXPECT_FALSE(capture.StopStream(0, 2));
    EXPECT_TRUE(capture.StopStream(0, 3));
    EXPECT_TRUE(creator.records[0]->deleted);
    EXPECT_FALSE(capture.StopStream(0, 3));
    // StopChannel empties every slot of the entry.
    EXPECT_TRUE(capture.StopChannel(0));
    EXPECT_TRUE(creator.records[1]->deleted);
}

TEST_F(CIPVideoCaptureTest, StatusComesFromTheRecordingChannel) {
    uint32_t status = 99, extra = 99;
    char text[8] = "junk";
    EXPECT_FALSE(capture.GetChannelStatus(0, &status, &extra, text, sizeof text));
    EXPECT_EQ(extra, 0u);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(status, 99u);
    ASSERT_TRUE(capture.StartChannel(0, &callback, &settings));
    EXPECT_TRUE(capture.GetChannelStatus(0, &status, &extra, nullptr, 0));
    EXPECT_EQ(status, uint32_t(kChannelStreaming));
    // A live stream alone does not answer for the channel.
    ASSERT_TRUE(capture.StartStream(1, 1, &callback, &settings));
    EXPECT_FALSE(capture.GetChannelStatus(1, &status, &extra, nullptr, 0));
}

TEST_F(CIPVideoCaptureTest, EdgeStorageStateIsTheOnlyPropertyAndOnlyAsA16BitInteger) {
    const int16_t on = 1;
    int16_t read = -1;
    EXPECT_TRUE(capture.SetProperty("edgestoragestate", &on, 2));
    EXPECT_TRUE(capture.IsEdgeStorageOn());
    EXPECT_TRUE(capture.GetProperty("EdgeStorageState", &read, 2));
    EXPECT_EQ(read, 1);
    const int16_t off = 0;
    EXPECT_FALSE(capture.SetProperty("EdgeStorageState", &off, 3));
    EXPECT_TRUE(capture.IsEdgeStorageOn());
    EXPECT_FALSE(capture.SetProperty(nullptr, &off, 2));
    EXPECT_FALSE(capture.SetProperty("EdgeStorageState", nullptr, 2));
    EXPECT_FALSE(capture.SetProperty("OtherState", &off, 2));
    EXPECT_FALSE(capture.GetProperty("EdgeStorageState", &read, 3));
    EXPECT_TRUE(capture.SetProperty("EDGESTORAGESTATE", &off, 2));
    EXPECT_TRUE(capture.GetProperty("EdgeStorageState", &read, 2));
    EXPECT_EQ(read, 0);
}

TEST_F(CIPVideoCaptureTest, SuspendResumeAndUpdateGoToTheRecordingChannel) {
    EXPECT_FALSE(capture.SuspendChannel(0));
    EXPECT_FALSE(capture.ResumeChannel(0));
    ASSERT_TRUE(capture.StartChannel(0, &callback, &settings));
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

TEST_F(CIPVideoCaptureTest, PictureSizeIsTheLiveStreamsElseTheRecordingStreams) {
    EXPECT_EQ(capture.GetPictureSize(0), (std::pair<uint16_t, uint16_t>{0, 0}));
    ASSERT_TRUE(capture.StartChannel(0, &callback, &settings));
    EXPECT_EQ(capture.GetPictureSize(0), (std::pair<uint16_t, uint16_t>{640, 480}));
}

TEST_F(CIPVideoCaptureTest, DestructionStopsAndDeletesEveryChannel) {
    {
        CIPVideoCapture local(&creator, 2);
        ASSERT_TRUE(local.StartChannel(0, &callback, &settings));
        ASSERT_TRUE(local.StartStream(1, 2, &callback, &settings));
    }
    ASSERT_EQ(creator.records.size(), 2u);
    for (const auto& record : creator.records) {
        EXPECT_EQ(record->stops, 1);
        EXPECT_TRUE(record->deleted);
    }
}

} // namespace
} // namespace talvex

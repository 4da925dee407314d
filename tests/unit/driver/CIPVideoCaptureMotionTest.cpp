// The motion slot of the video capture object: made with the host's motion
// flag after a good start, stopped and deleted with its channel.
#include "driver/CIPVideoCapture.h"

#include "unit/driver/FakeVideoChannelSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace talvex {
namespace {

// Every call the capture object made on the channels, in order, kept after they are gone.
using Journal = std::vector<std::string>;

class JournalChannel : public ICameraChannel {
public:
    JournalChannel(Journal& journal, bool starts) : m_journal(journal), m_starts(starts) {}
    ~JournalChannel() override { m_journal.push_back("video deleted"); }
    uint32_t GetChannel() const override { return 0; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return nullptr; }
    void SetEdgeMonitor(IEdgeStorageCallback*) override {}
    void SetPictureSize(uint16_t, uint16_t) override {}
    void SetChannelOption(uint32_t) override {}
    bool Start(const ChannelStartParameters&) override { return m_starts; }
    void Stop() override { m_journal.push_back("video stopped"); }
    bool Restart(const ChannelStartParameters&) override { return true; }
    bool Suspend() override { return false; }
    bool Resume() override { return false; }
    uint32_t GetState() override { return kChannelStreaming; }
    std::pair<uint16_t, uint16_t> GetPictureSize() override { return {0, 0}; }

private:
    Journal& m_journal;
    bool m_starts;
};

class JournalMotion : public IMotionChannel {
public:
    JournalMotion(Journal& journal, uint32_t channel, ipcapture::IVideoChannelCallback* callback, bool starts)
        : m_journal(journal), m_channel(channel), m_callback(callback), m_starts(starts) {}
    ~JournalMotion() override { m_journal.push_back("motion deleted"); }
    uint32_t GetChannel() const override { return m_channel; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return m_callback; }
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
    ipcapture::IVideoChannelCallback* m_callback;
    bool m_starts;
};

class JournalCreator : public IVideoChannelCreator {
public:
    ICameraChannel* CreateVideoChannel(uint32_t, ipcapture::IVideoChannelCallback*, uint32_t) override {
        return new JournalChannel(journal, videoStarts);
    }
    IMotionChannel* CreateMotionChannel(uint32_t channel, ipcapture::IVideoChannelCallback* callback) override {
        if (!makeMotion)
            return nullptr;
        lastMotionCallback = callback;
        return new JournalMotion(journal, channel, callback, motionStarts);
    }

    Journal journal;
    bool videoStarts = true, makeMotion = true, motionStarts = true;
    ipcapture::IVideoChannelCallback* lastMotionCallback = nullptr;
};

class SilentSink : public ipcapture::IVideoChannelCallback {
public:
    bool OnFrame(ipcapture::IVideoFrame*) override { return true; }
    void OnStateChanged(uint32_t) override {}
    void OnSignalLost() override {}
};

class CIPVideoCaptureMotionTest : public ::testing::Test {
protected:
    CIPVideoCaptureMotionTest() { settings.motionDetection = 1; }

    JournalCreator creator;
    test::FakeVideoChannelSettings settings;
    SilentSink sink;
    ipcapture::IVideoChannelCallback* const callback = &sink;
    CIPVideoCapture capture{&creator, 2};
};

struct StartCase {
    const char* name;
    uint32_t motionFlag;
    bool videoStarts, makeMotion, motionStarts;
    bool result;
    Journal journal;
};

TEST_F(CIPVideoCaptureMotionTest, MotionIsStartedOnlyWithTheFlagAfterAGoodStart) {
    const StartCase cases[] = {
        {"flag set", 1, true, true, true, true, {"motion started for 1"}},
        {"flag clear", 0, true, true, true, true, {}},
        {"video start failed", 1, false, true, true, false, {}},
        {"motion start failed decides", 1, true, true, false, false, {"motion started for 1"}},
        {"creator refused motion", 1, true, false, true, true, {}},
    };
    for (const StartCase& test : cases) {
        SCOPED_TRACE(test.name);
        JournalCreator fresh;
        fresh.videoStarts = test.videoStarts;
        fresh.makeMotion = test.makeMotion;
        fresh.motionStarts = test.motionStarts;
        CIPVideoCapture freshCapture(&fresh, 2);
        settings.motionDetection = test.motionFlag;
        EXPECT_EQ(freshCapture.StartChannel(1, callback, &settings), test.result);
        EXPECT_EQ(fresh.journal, test.journal);
        fresh.journal.clear();
        EXPECT_TRUE(freshCapture.StopChannel(1)) << "the video channel is kept also after a failed start";
    }
}

TEST_F(CIPVideoCaptureMotionTest, MotionGetsTheChannelCallbackAndIsStoppedFirst) {
    ASSERT_TRUE(capture.StartChannel(0, callback, &settings));
    EXPECT_EQ(creator.lastMotionCallback, callback);
    creator.journal.clear();
    EXPECT_TRUE(capture.StopChannel(0));
    EXPECT_EQ(creator.journal, (Journal{"motion stopped", "motion deleted", "video stopped", "video deleted"}));
    EXPECT_FALSE(capture.StopChannel(0));
}

TEST_F(CIPVideoCaptureMotionTest, StreamsOtherThanTheRecordingOneHaveNoMotion) {
    ASSERT_TRUE(capture.StartStream(0, kLiveChannel, callback, &settings));
    EXPECT_TRUE(creator.journal.empty());
}

} // namespace
} // namespace talvex

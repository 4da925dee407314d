#include "driver/CSonyIPCaptureDriver.h"

#include "unit/driver/FakeHostObjects.h"
#include "channels/CH264ChannelRTP.h"
#include "channels/CH264ChannelRTSP.h"
#include "channels/CMJPEGChannelHTTP.h"
#include "channels/CMJPEGChannelRTSP.h"
#include "channels/CMPEG4ChannelRTP.h"
#include "channels/CMPEG4ChannelRTSP.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace talvex {
namespace {

using fennwick_test::FakeDeviceSettings;
using fennwick_test::RecordingDebugSink;

class NullCallback : public ipcapture::IVideoChannelCallback {
public:
    bool OnFrame(ipcapture::IVideoFrame*) override { return true; }
    void OnStateChanged(uint32_t) override {}
    void OnSignalLost() override {}
};

class CreateVideoChannelTest : public ::testing::Test {
protected:
    // Opens a device of this generation (and operation mode) and asks for a channel of codecType.
    std::unique_ptr<ICameraChannel> Create(const std::string& generation, uint32_t codecType,
                                           const std::string& operationMode = "", uint32_t defaultCodec = 3) {
        FakeDeviceSettings settings;
        settings.parameters[2] = generation;
        settings.codecType = defaultCodec;
        if (!operationMode.empty()) {
            for (uint32_t id = 3; id < 18; ++id)
                settings.parameters[id] = "";
            settings.parameters[18] = operationMode;
        }
        driver = std::make_unique<CSonyIPCaptureDriver>(HostVersion{6, 3, 0, 0});
        EXPECT_TRUE(driver->Open(&sink, nullptr, &settings));
        return std::unique_ptr<ICameraChannel>(driver->CreateVideoChannel(0, &callback, codecType));
    }

    template <class T>
    static bool Is(const std::unique_ptr<ICameraChannel>& channel) {
        return dynamic_cast<T*>(channel.get()) != nullptr;
    }

    RecordingDebugSink sink;
    NullCallback callback;
    std::unique_ptr<CSonyIPCaptureDriver> driver;
};

TEST_F(CreateVideoChannelTest, BelowGenerationFiveStreamsStartOverHttp) {
    EXPECT_TRUE(Is<CH264ChannelRTP>(Create("4", 3)));
    EXPECT_TRUE(Is<CMPEG4ChannelRTP>(Create("4", 2)));
    EXPECT_TRUE(Is<CMJPEGChannelHTTP>(Create("3", 1)));
    EXPECT_EQ(Create("4", 4), nullptr);
}

TEST_F(CreateVideoChannelTest, FromGenerationFiveStreamsUseRtsp) {
    EXPECT_TRUE(Is<CH264ChannelRTSP>(Create("5", 3)));
    EXPECT_TRUE(Is<CMPEG4ChannelRTSP>(Create("6", 2)));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("6", 1)));
    EXPECT_EQ(Create("6", 4), nullptr);
}

TEST_F(CreateVideoChannelTest, FullsizeModeOfGenerationSevenPullsJpegOverHttp) {
    EXPECT_TRUE(Is<CMJPEGChannelHTTP>(Create("7", 1, "fullsize")));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("7", 1, "Fullsize")));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("6", 1, "fullsize")));
    EXPECT_TRUE(Is<CH264ChannelRTSP>(Create("7", 3, "fullsize")));
}

TEST_F(CreateVideoChannelTest, CodecZeroAndFiveMeanTheDeviceDefault) {
    EXPECT_TRUE(Is<CMPEG4ChannelRTSP>(Create("6", 0, "", 2)));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("6", 5, "", 1)));
    EXPECT_TRUE(Is<CH264ChannelRTP>(Create("4", 5, "", 3)));
}

TEST_F(CreateVideoChannelTest, NoCallbackNoChannel) {
    Create("6", 3);
    EXPECT_EQ(driver->CreateVideoChannel(0, nullptr, 3), nullptr);
}

TEST_F(CreateVideoChannelTest, GenerationThatDoesNotReadTakesTheHttpBranch) {
    EXPECT_TRUE(Is<CH264ChannelRTP>(Create("3a", 3)));
}

} // namespace
} // namespace talvex

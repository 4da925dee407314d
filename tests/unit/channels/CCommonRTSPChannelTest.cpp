#include "channels/CCommonRTSPChannel.h"

#include "support/FakeDriver.h"
#include "support/FakeChannelHost.h"
#include "support/RtspPortManager.h"
#include "channels/CH264ChannelRTSP.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

// The session parameters a channel would connect with.
class SessionProbe : public CH264ChannelRTSP {
public:
    using CH264ChannelRTSP::CH264ChannelRTSP;
    RTSPSessionParams Params(uint32_t kind) {
        SetStartParameters({.kind = kind});
        RTSPSessionParams params;
        FillSessionParams(params);
        return params;
    }
};

class CCommonRTSPChannelTest : public ::testing::Test {
protected:
    FakeDriver driver;
    FakeChannelSink sink;
};

TEST_F(CCommonRTSPChannelTest, PathFollowsGenerationAndStream) {
    driver.m_device.generation = 5;
    SessionProbe generation5(0, &driver, &sink, {});
    EXPECT_EQ(generation5.Params(kRecordingChannel).path, "/media/video1");
    EXPECT_EQ(generation5.Params(kRecordingChannel).port, 554);
    driver.m_device.generation = 6;
    SessionProbe generation6(0, &driver, &sink, {});
    EXPECT_EQ(generation6.Params(kLiveChannel).path, "/video2");
    EXPECT_EQ(generation6.Params(kRemoteChannel).path, "/video3");
}

TEST_F(CCommonRTSPChannelTest, SettingsManagerPortReplaces554UnlessZero) {
    SessionProbe named(0, &driver, &sink, PortOnly(8554));
    EXPECT_EQ(named.Params(kRecordingChannel).port, 8554);
    SessionProbe unnamed(0, &driver, &sink, PortOnly(0));
    EXPECT_EQ(unnamed.Params(kRecordingChannel).port, 554);
}

TEST_F(CCommonRTSPChannelTest, RestartOnlyTakesTheConfiguredSize) {
    CH264ChannelRTSP channel(0, &driver, &sink, {});
    EXPECT_FALSE(channel.Restart({.width = 1280, .height = 720}));
    EXPECT_EQ(channel.GetPictureSize(), (std::pair<uint16_t, uint16_t>{1280, 720}));
    EXPECT_EQ(channel.GetState(), uint32_t(kChannelStopped));
}

TEST_F(CCommonRTSPChannelTest, StreamWishIsTheStartRecord) {
    ChannelStartParameters parameters{40, 80, 640, 480, kRemoteChannel};
    const VIDEO_STREAM_SETTINGS wish = CCommonRTSPChannel::ToStreamWish(parameters);
    EXPECT_EQ(wish, (VIDEO_STREAM_SETTINGS{40, 80, 640, 480, 2}));
}

} // namespace
} // namespace talvex::test

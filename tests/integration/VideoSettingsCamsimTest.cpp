// The video settings manager against a simulated camera: what the channels
// ask for is what the camera is set to, and an unchanged camera is sent nothing.
#include "settings/CSonyVideoSettingsManager.h"

#include "Camera.h"
#include "CapabilityVideo.h"
#include "common/CEvent.h"
#include "support/FakeDriver.h"
#include "unit/settings/StreamWish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace talvex {
namespace {

constexpr auto Wish = test::StreamWish;

class VideoSettingsCamsimTest : public ::testing::Test {
protected:
    void StartCamera(const std::string& model) {
        camsim::CameraOptions options;
        options.model = model;
        options.user = "admin";
        options.password = "secret";
        options.auth = camsim::AuthMode::Digest;
        m_camera = std::make_unique<camsim::Camera>(options);
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
        m_driver = std::make_unique<test::FakeDriver>("127.0.0.1", m_camera->Http().Port(), "admin", "secret");
        m_driver->m_device.model = model;
        m_driver->m_device.generation = m_camera->State().Generation();
        // No configuration file: the defaults apply.
        m_driver->m_hostDirectory = "/nonexistent/";
    }
    void TearDown() override {
        m_manager.reset();
        if (m_camera)
            m_camera->Stop();
    }
    CSonyVideoSettingsManager& StartManager() {
        m_manager = std::make_unique<CSonyVideoSettingsManager>(m_driver.get(), 0);
        return *m_manager;
    }
    bool Apply(uint32_t codecType, const VIDEO_STREAM_SETTINGS& wish) {
        return m_manager->SetStreamSettings(&m_stop, codecType, &wish);
    }
    std::string Value(const std::string& key) { return m_camera->State().Value(key).value_or("(absent)"); }
    size_t CameraCommands() {
        const auto log = m_camera->State().CommandLog();
        return size_t(std::count_if(log.begin(), log.end(), [](const std::string& c) { return c.starts_with("camera.cgi?"); }));
    }

    std::unique_ptr<camsim::Camera> m_camera;
    std::unique_ptr<test::FakeDriver> m_driver;
    std::unique_ptr<CSonyVideoSettingsManager> m_manager;
    CManualEvent m_stop;
};

TEST_F(VideoSettingsCamsimTest, Generation5CameraTakesTheWishesAndIsLeftAloneWhenUnchanged) {
    StartCamera("SNC-CH210");
    auto& manager = StartManager();
    ASSERT_TRUE(Apply(3, Wish(0, 1920, 1080, 25, 100)));
    ASSERT_TRUE(Apply(1, Wish(1, 1280, 720, 10, 50)));

    EXPECT_EQ(Value("ImageCodec1"), "h264");
    // This model encodes H.264 at most 1600 pixels wide.
    EXPECT_EQ(Value("ImageSize1"), "1600,1200");
    EXPECT_EQ(Value("FrameRate1"), "25");
    EXPECT_EQ(Value("BitRate1"), "8192");
    EXPECT_EQ(Value("ImageCodec2"), "jpeg");
    EXPECT_EQ(Value("ImageSize2"), "640,480");
    EXPECT_EQ(Value("Quality2"), "5");
    EXPECT_EQ(Value("FrameRate2"), "10");
    EXPECT_EQ(manager.GetRTSPPort(), 554);

    const size_t commands = CameraCommands();
    ASSERT_TRUE(Apply(1, Wish(1, 1280, 720, 10, 50)));
    EXPECT_EQ(CameraCommands(), commands);
}

TEST_F(VideoSettingsCamsimTest, WrongPasswordFailsThePassWithOneMessage) {
    StartCamera("SNC-CH210");
    m_driver->m_device.password = "wrong";
    StartManager();
    EXPECT_FALSE(Apply(3, Wish(0, 1920, 1080, 25, 100)));
    EXPECT_FALSE(Apply(3, Wish(0, 1920, 1080, 25, 100)));
    const std::string expected = "talvex::CSonyVideoSettingsManager::RequestGet: Device " + m_driver->GetDeviceTag() +
                                 " is unable to process \"/command/inquiry.cgi?inq=camera\" request: credentials are "
                                 "invalid";
    const auto lines = m_driver->Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const test::LogLine& l) { return l.text == expected; }), 1);
}

TEST_F(VideoSettingsCamsimTest, Generation6CameraNegotiatesWithItsCapabilitiesAndPutsBackOthersChanges) {
    StartCamera("SNC-VB630");
    StartManager();
    ASSERT_TRUE(Apply(3, Wish(0, 1920, 1080, 30, 50)));
    EXPECT_EQ(Value("ImageSize1"), "1920,1080");
    EXPECT_EQ(Value("ImageCodec2"), "off");
    EXPECT_EQ(Value("LightFunnelMode"), "auto");

    // A second H.264 stream leaves the first less room on this camera.
    ASSERT_TRUE(Apply(3, Wish(1, 640, 480, 12, 50)));
    EXPECT_EQ(Value("ImageSize1"), "1280,720");
    EXPECT_EQ(Value("ImageCodec2"), "h264");
    EXPECT_EQ(Value("ImageSize2"), "640,480");
    EXPECT_EQ(Value("FrameRate2"), "15");
    EXPECT_EQ(Value("H264Quality1"), "5");

    m_camera->State().ApplyCommand(camsim::CameraState::Cgi::Camera, {{"ImageSize1", "640,480"}});
    const size_t queries = m_camera->Http().Requests().size();
    ASSERT_TRUE(Apply(3, Wish(1, 640, 480, 12, 50)));
    EXPECT_EQ(Value("ImageSize1"), "1280,720");
    // Put back from the kept negotiation: one inquiry and one command.
    EXPECT_EQ(m_camera->Http().Requests().size(), queries + 2);
}

TEST_F(VideoSettingsCamsimTest, Generation7UhdH264StreamGetsItsBitRateAndNoBFrames) {
    StartCamera("SNC-VB770");
    auto& manager = StartManager();
    ASSERT_TRUE(Apply(3, Wish(0, 3840, 2160, 30, 100)));
    EXPECT_EQ(Value("ImageSize1"), "3840,2160");
    EXPECT_EQ(Value("FrameRate1"), "30");
    EXPECT_EQ(Value("BitRate1"), "32000");
    EXPECT_EQ(Value("H264BFrameEnable"), "off");
    EXPECT_EQ(Value("ImageCodec2"), "off");
    EXPECT_EQ(manager.GetOperationMode(), "normal");
    EXPECT_EQ(manager.GetRTSPPort(), 554);
}

TEST(CamsimCapabilityVideoTest, AnswersDependOnTheOtherStreamsCodecs) {
    const camsim::ModelSpec* model = camsim::FindModel("SNC-VB770");
    ASSERT_NE(model, nullptr);
    const camsim::CameraState state(*model, "admin", "admin", camsim::AuthMode::None, 1, 1);

    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=ImageSize1&ImageCodec2=jpeg"),
              "CapableImageSize1=3840,2160,2560,1440,1920,1080,1280,720,1024,576,640,480,640,360,320,240");
    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=ImageSize1&ImageCodec2=h264"),
              "CapableImageSize1=2560,1440,1920,1080,1280,720,1024,576,640,480,640,360,320,240");
    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=ImageSize3"),
              "CapableImageSize3=1280,720,1024,576,640,480,640,360,320,240");
    // The camera's own ImageCodec1 is h264: a JPEG stream beside it gets half the rate.
    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=FrameRate2&ImageCodec2=jpeg"),
              "CapableFrameRate2=1,2,3,4,5,6,7.5,8,10,12.5,15");
    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=FrameRate2&ImageCodec2=jpeg&ImageCodec1=off"),
              "CapableFrameRate2=1,2,3,4,5,6,7.5,8,10,12.5,15,20,25,29.97,30");
    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=JpegQuality2"), "CapableJpegQuality2=1,10");
    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=H264Quality1"), "CapableH264Quality1=1,10");
    EXPECT_EQ(camsim::CapabilityVideoAnswer(state, "Target=BitRate1&CBR1=on"), "CapableBitRate1=64,32000");
    EXPECT_FALSE(camsim::CapabilityVideoAnswer(state, "Target=Quality2"));
    EXPECT_FALSE(camsim::CapabilityVideoAnswer(state, "Target=ImageSize4"));
    EXPECT_FALSE(camsim::CapabilityVideoAnswer(state, "Target="));
    EXPECT_FALSE(camsim::CapabilityVideoAnswer(state, "Target=H264Quality"));

    const camsim::CameraState legacy(*camsim::FindModel("SNC-CH210"), "admin", "admin", camsim::AuthMode::None, 1, 1);
    EXPECT_FALSE(camsim::CapabilityVideoAnswer(legacy, "Target=ImageSize1"));
}

} // namespace
} // namespace talvex

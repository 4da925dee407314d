// The video settings manager against a simulated camera: what the channels
// ask for is what the camera is set to, and an unchanged camera is sent nothing.
#include "settings/CSonyVideoSettingsManager.h"

#include "Camera.h"
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

} // namespace
} // namespace talvex

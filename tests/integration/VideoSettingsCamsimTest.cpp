// The video settings manager's wiring to a real camera's capability answers
// (Digest, codec-dependent offers); the rules themselves are unit-tested
// against a scripted camera in tests/unit/settings.
#include "settings/CSonyVideoSettingsManager.h"

#include "Camera.h"
#include "common/CEvent.h"
#include "support/FakeDriver.h"
#include "unit/settings/StreamWish.h"

#include <gtest/gtest.h>

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

    std::unique_ptr<camsim::Camera> m_camera;
    std::unique_ptr<test::FakeDriver> m_driver;
    std::unique_ptr<CSonyVideoSettingsManager> m_manager;
    CManualEvent m_stop;
};

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

} // namespace
} // namespace talvex

// The driver's video settings managers end to end: a channel the host starts
// through the driver brings the camsim camera's stream in line with the host's
// wish before it plays, and reaches RTSP on the port the camera names.
#include "driver/CSonyIPCaptureDriver.h"

#include "Camera.h"
#include "RtspServer.h"
#include "settings/MarkedFrameRate.h"
#include "support/WaitUntil.h"
#include "unit/driver/FakeHostObjects.h"
#include "support/FakeChannelHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

namespace talvex {
namespace {

using namespace std::chrono_literals;

class DriverVideoSettingsTest : public ::testing::Test {
protected:
    void StartCamera(const std::string& model) {
        camsim::CameraOptions options;
        options.model = model;
        options.user = "admin";
        options.password = "secret";
        m_camera = std::make_unique<camsim::Camera>(options);
        auto rtsp = std::make_unique<camsim::RtspServer>(camsim::RtspServerOptions{}, m_camera.get());
        m_rtsp = rtsp.get();
        m_camera->AddServer(std::move(rtsp));
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;

        m_settings.model = model;
        m_settings.port = m_camera->Http().Port();
        m_settings.parameters = {{1, "0"}, {2, std::to_string(m_camera->State().Generation())}};
        m_driver = std::make_unique<CSonyIPCaptureDriver>(HostVersion{6, 3, 0, 0});
        ASSERT_TRUE(m_driver->Open(&m_debugSink, &m_allocator, &m_settings));
    }
    void TearDown() override {
        m_channel.reset();
        if (m_driver)
            m_driver->Close();
        if (m_camera)
            m_camera->Stop();
    }
    std::string Value(const std::string& key) { return m_camera->State().Value(key).value_or("(absent)"); }

    fennwick_test::RecordingDebugSink m_debugSink;
    fennwick_test::FakeDeviceSettings m_settings;
    test::LockedFrameAllocator m_allocator;
    test::FakeChannelSink m_sink;
    std::unique_ptr<camsim::Camera> m_camera;
    camsim::RtspServer* m_rtsp = nullptr;
    std::unique_ptr<CSonyIPCaptureDriver> m_driver;
    std::unique_ptr<ICameraChannel> m_channel;
};

TEST_F(DriverVideoSettingsTest, RecordingChannelSetsTheCameraAndPlaysOnItsRtspPort) {
    StartCamera("SNC-CH210");
    ASSERT_NE(m_rtsp->GetPort(), 554);
    m_channel.reset(m_driver->CreateVideoChannel(0, &m_sink, 1));
    ASSERT_TRUE(m_channel);
    // First start word: the frame interval (ms), second: the quality.
    ChannelStartParameters start;
    start.firstValue = EncodeFrameInterval(5, true);
    start.secondValue = 100;
    start.width = 640;
    start.height = 480;
    ASSERT_TRUE(m_channel->Start(start));

    EXPECT_TRUE(test::WaitUntil([&] { return m_sink.FrameCount() >= 3; }, 15000ms));
    EXPECT_EQ(Value("ImageCodec1"), "jpeg");
    EXPECT_EQ(Value("ImageSize1"), "640,480");
    EXPECT_EQ(Value("FrameRate1"), "5");
    EXPECT_EQ(Value("Quality1"), "10");
    // The second stream is off unless a channel asks for it.
    EXPECT_EQ(Value("ImageCodec2"), "off");
    m_channel->Stop();
}

} // namespace
} // namespace talvex

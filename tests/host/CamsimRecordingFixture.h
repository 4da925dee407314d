// camsim in the test process (by default an SNC-VB630, generation 6) with Digest
// authorisation, its recording stream H.264 and live stream JPEG, and
// fennwick-host runs against it as a person runs them. The driver reaches RTSP
// on port 554 while the camera names no other, so the fixture takes that port
// (and the test skips when it cannot be had).
#pragma once

#include "Camera.h"
#include "HttpMedia.h"
#include "RtspServer.h"
#include "support/MediaProbe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace fennwick_host::test {

using talvex::test::ExpectCleanDecode;
using talvex::test::ProbeEntries;
using talvex::test::RunTool;

constexpr uint16_t kRtspPort = 554;
constexpr const char* kModel = "SNC-VB630";
constexpr const char* kUser = "operator";
constexpr const char* kPassword = "rec-pass";

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class CamsimRecording : public ::testing::Test {
protected:
    void SetUp() override {
        m_directory = std::filesystem::path(FENNWICK_BINARY_DIR) / "tests" / "host" /
                      ("record-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_directory);
        std::filesystem::create_directories(m_directory);
    }
    void TearDown() override {
        if (m_camera)
            m_camera->Stop();
        if (m_secondCamera)
            m_secondCamera->Stop();
        if (!HasFailure())
            std::filesystem::remove_all(m_directory);
    }

    // False (the test skips) when port 554 cannot be bound here.
    bool StartCamera(const std::string& model = kModel, uint32_t generation = 6) {
        m_model = model;
        m_generation = generation;
        return StartCameraAt("127.0.0.1", m_camera, m_rtsp);
    }
    // Another camera on its own loopback address (RTSP on port 554 there too).
    bool StartSecondCamera() { return StartCameraAt("127.0.0.2", m_secondCamera, m_secondRtsp); }

    bool StartCameraAt(const std::string& address, std::unique_ptr<camsim::Camera>& camera,
                       camsim::RtspServer*& rtspServer) {
        camsim::CameraOptions options;
        options.model = m_model;
        options.user = kUser;
        options.password = kPassword;
        options.auth = camsim::AuthMode::Digest;
        options.http.bindAddress = address;
        camera = std::make_unique<camsim::Camera>(options);
        if (m_withMedia)
            camera->AddServer(std::make_unique<camsim::HttpMedia>(*camera));
        camsim::RtspServerOptions rtsp;
        rtsp.bindAddress = address;
        rtsp.port = kRtspPort;
        rtsp.generation = m_generation;
        rtsp.user = kUser;
        rtsp.password = kPassword;
        rtsp.auth = camsim::AuthMode::Digest;
        auto server = std::make_unique<camsim::RtspServer>(rtsp, camera.get());
        rtspServer = server.get();
        camera->AddServer(std::move(server));
        std::string error;
        if (!camera->Start(error)) {
            m_skipReason = "camsim cannot start with RTSP on " + address + ":554: " + error;
            camera.reset();
            return false;
        }
        return true;
    }

    std::string DeviceArguments() const {
        return " --generation " + std::to_string(m_generation) + " --model " + m_model + " --address 127.0.0.1 --port " +
               std::to_string(m_camera->Http().Port()) + " --user " + kUser + " --password " + kPassword +
               " --host-version 6.3.0.0 --log " + (m_directory / "host.log").string();
    }

    std::string Out() const { return (m_directory / "out").string(); }

    bool m_withMedia = false; // camsim's motion JPEG and HTTP-started RTP routes too
    std::string m_model = kModel;
    uint32_t m_generation = 6;
    std::filesystem::path m_directory;
    std::unique_ptr<camsim::Camera> m_camera;
    camsim::RtspServer* m_rtsp = nullptr; // owned by m_camera
    std::unique_ptr<camsim::Camera> m_secondCamera;
    camsim::RtspServer* m_secondRtsp = nullptr; // owned by m_secondCamera
    std::string m_skipReason;
};

} // namespace fennwick_host::test

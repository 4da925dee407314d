// A camsim camera on loopback for HTTP tests, with a device record that points at it.
#pragma once

#include "Camera.h"

#include <talvex/ipcapture/DeviceInfo.h>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace talvex::test {

class CamsimFixture : public ::testing::Test {
protected:
    // Short enough to keep time-out tests fast, long enough for a loaded CI machine.
    static constexpr uint32_t kTimeoutMs = 1500;

    void StartCamera(const std::string& model, camsim::AuthMode auth, bool https = false) {
        camsim::CameraOptions options;
        options.model = model;
        options.user = "admin";
        options.password = "secret";
        options.auth = auth;
        options.http.https = https;
        m_camera = std::make_unique<camsim::Camera>(options);
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    void TearDown() override {
        if (m_camera)
            m_camera->Stop();
    }

    DEVICE_INFO Device(const std::string& password = "secret") const {
        DEVICE_INFO device("127.0.0.1", m_camera->Http().Port(), "admin", password);
        device.firstTimeoutMs = kTimeoutMs;
        return device;
    }
    camsim::HttpServer& Http() { return m_camera->Http(); }

    // A loopback port that nothing listens on (taken from the system, then freed).
    static uint16_t UnusedLoopbackPort() {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(probe);
        return ntohs(address.sin_port);
    }

    // Records land when an exchange ends on the server: wait for them, bounded.
    std::vector<camsim::RequestRecord> WaitForRequests(size_t count) {
        for (int i = 0; i < 500 && Http().Requests().size() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Http().Requests();
    }

    std::unique_ptr<camsim::Camera> m_camera;
};

} // namespace talvex::test

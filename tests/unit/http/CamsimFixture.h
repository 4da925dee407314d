// A camsim camera on loopback for HTTP tests, with a device record that points at it.
#pragma once

#include "Camera.h"

#include <talvex/ipcapture/DeviceInfo.h>

#include "support/Loopback.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

    // A device record for any address and port, with the short time-out.
    static DEVICE_INFO DeviceAt(const char* address, uint16_t port, const std::string& password = "secret") {
        DEVICE_INFO device(address, port, "admin", password);
        device.firstTimeoutMs = kTimeoutMs;
        return device;
    }
    DEVICE_INFO Device(const std::string& password = "secret") const {
        return DeviceAt("127.0.0.1", m_camera->Http().Port(), password);
    }
    camsim::HttpServer& Http() { return m_camera->Http(); }

    // Records land when an exchange ends on the server: wait for them, bounded.
    std::vector<camsim::RequestRecord> WaitForRequests(size_t count) {
        WaitUntil([&] { return Http().Requests().size() >= count; });
        return Http().Requests();
    }

    std::unique_ptr<camsim::Camera> m_camera;
};

} // namespace talvex::test

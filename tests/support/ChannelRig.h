// What the channel tests against camsim share: a camsim camera of a model with
// the fake driver pointed at it, the host directory and the port-only settings
// manager, and counts of what camsim saw.
#pragma once

#include "Camera.h"
#include "HttpMedia.h"
#include "RtspServer.h"
#include "support/FakeChannelHost.h"
#include "support/HostDirectory.h"
#include "support/RtspPortManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace talvex::test {

inline int64_t MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// Requests in camsim's RTSP request log that start with the prefix ("PLAY", "DESCRIBE rtsp://…").
inline size_t CountRequests(const std::vector<std::string>& log, const std::string& prefix) {
    return size_t(std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.starts_with(prefix); }));
}

// The fake driver's device times out after 1 s (lost) and 2 s (reported).
inline void UseShortTimeouts(FakeDriver& driver, LockedFrameAllocator& allocator, uint32_t generation) {
    driver.m_device.firstTimeoutMs = 1000;
    driver.m_device.secondTimeoutMs = 2000;
    driver.m_device.generation = generation;
    driver.m_allocator = &allocator;
}

// A camsim camera of a model on loopback, optionally with its own media routes
// (motion JPEG, HTTP-started RTP) and an RTSP server; the driver's device
// record points at it. Stopped with the object.
class CamsimCamera {
public:
    struct Options {
        bool media = false;
        bool rtsp = false;
    };
    ~CamsimCamera() { Stop(); }
    void Stop() {
        if (camera)
            camera->Stop();
    }
    // ASSERTs inside: call through ASSERT_NO_FATAL_FAILURE.
    void Start(const std::string& model, FakeDriver& driver, LockedFrameAllocator& allocator, Options with) {
        camsim::CameraOptions options;
        options.model = model;
        camera = std::make_unique<camsim::Camera>(options);
        if (with.media) {
            auto routes = std::make_unique<camsim::HttpMedia>(*camera);
            media = routes.get();
            camera->AddServer(std::move(routes));
        }
        if (with.rtsp) {
            auto server = std::make_unique<camsim::RtspServer>(camsim::RtspServerOptions{}, camera.get());
            rtsp = server.get();
            camera->AddServer(std::move(server));
        }
        std::string error;
        ASSERT_TRUE(camera->Start(error)) << error;
        driver.m_device.port = camera->Http().Port();
        driver.m_device.model = model;
        UseShortTimeouts(driver, allocator, camera->State().Generation());
    }

    std::unique_ptr<camsim::Camera> camera;
    camsim::HttpMedia* media = nullptr;  // owned by camera
    camsim::RtspServer* rtsp = nullptr;  // owned by camera
};

} // namespace talvex::test

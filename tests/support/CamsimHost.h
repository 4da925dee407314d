// A camsim camera in the test process and fennwick-host runs against it through
// libfennwick.so, as a person runs them. The including target defines
// FENNWICK_HOST_EXECUTABLE and FENNWICK_DRIVER_LIBRARY.
#pragma once

#include "Camera.h"
#include "support/ChildProcess.h"
#include "support/LoopbackHttp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

namespace talvex::test {

class CamsimHost : public ::testing::Test {
protected:
    using AddServers = std::function<void(camsim::Camera&)>;

    // A camera of the model without authorisation; addServers adds its other servers before the start.
    void StartCamera(const std::string& model, const AddServers& addServers = {}) {
        camsim::CameraOptions options;
        options.model = model;
        options.auth = camsim::AuthMode::None;
        StartCamera(options, addServers);
    }
    void StartCamera(const camsim::CameraOptions& options, const AddServers& addServers = {}) {
        m_camera = std::make_unique<camsim::Camera>(options);
        if (addServers)
            addServers(*m_camera);
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    void TearDown() override {
        if (m_camera)
            m_camera->Stop();
    }

    // fennwick-host COMMAND against the camera, taken for a camera of the generation. The device
    // options follow the command's first word: ptz actions must come after every option.
    std::string HostCommand(const std::string& command, uint32_t generation) const {
        const size_t verbEnd = std::min(command.find(' '), command.size());
        return std::string(FENNWICK_HOST_EXECUTABLE) + " " + command.substr(0, verbEnd) + " --generation " +
               std::to_string(generation) + " --model " + m_camera->State().Model() + " --address 127.0.0.1 --port " +
               std::to_string(m_camera->Http().Port()) + " --library " + FENNWICK_DRIVER_LIBRARY +
               command.substr(verbEnd);
    }
    ToolResult RunHost(const std::string& command, uint32_t generation) const {
        return RunTool(HostCommand(command, generation));
    }
    // In the background, while the test drives the camera.
    std::future<ToolResult> StartHost(const std::string& command, uint32_t generation) const {
        return std::async(std::launch::async, [line = HostCommand(command, generation)] { return RunTool(line); });
    }

    // The body of a GET of the camera's /camsim/ hooks.
    std::string Hook(const std::string& target) const {
        return BodyOf(LoopbackGet(m_camera->Http().Port(), target, std::chrono::seconds(2)));
    }

    std::unique_ptr<camsim::Camera> m_camera;
};

} // namespace talvex::test

// fennwick-host against a camsim camera through libfennwick.so: the io command
// sees a sensor that the test switches and switches an output that the camera
// then reports; record --motion logs the motion that the test shows the camera.
// The camera is driven and read only through its /camsim/ hooks.
#include "HttpMedia.h"

#include "Camera.h"
#include "support/ChildProcess.h"
#include "support/HostDirectory.h"
#include "support/LoopbackHttp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using namespace talvex::test;

class HostEventsAndIoTest : public ::testing::Test {
protected:
    void Start(const std::string& model) {
        CameraOptions options;
        options.model = model;
        options.auth = AuthMode::None;
        m_camera = std::make_unique<Camera>(options);
        m_camera->AddServer(std::make_unique<HttpMedia>(*m_camera));
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    void TearDown() override {
        if (m_camera)
            m_camera->Stop();
    }
    std::string Hook(const std::string& target) { return BodyOf(LoopbackGet(m_camera->Http().Port(), target, 2s)); }
    // Runs fennwick-host in the background while the test drives the camera.
    std::future<ToolResult> RunHost(const std::string& command, uint32_t generation) {
        const std::string line = std::string(FENNWICK_HOST_EXECUTABLE) + " " + command + " --generation " +
                                 std::to_string(generation) + " --model " + m_camera->State().Model() +
                                 " --address 127.0.0.1 --port " + std::to_string(m_camera->Http().Port()) +
                                 " --library " + FENNWICK_DRIVER_LIBRARY;
        return std::async(std::launch::async, [line] { return RunTool(line); });
    }

    std::unique_ptr<Camera> m_camera;
};

TEST_F(HostEventsAndIoTest, IoPrintsASensorChangeAndSwitchesAnOutput) {
    Start("SNC-VB630");
    auto host = RunHost("io --inputs 1 --outputs 1 --set 1=on --watch 6", 6);
    std::this_thread::sleep_for(2500ms); // after the first polls, before the last
    EXPECT_EQ(Hook("/camsim/control?sensor1=on"), "");
    const ToolResult result = host.get();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find(" output 1 on\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(" input 1 off\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(" input 1 on\n"), std::string::npos) << result.output;
    EXPECT_NE(Hook("/camsim/state").find(R"("outputs": {"1": "on"})"), std::string::npos);
}

TEST_F(HostEventsAndIoTest, RecordMotionLogsTheCamerasMotion) {
    Start("SNC-RH124");
    // A folder of its own: another run of the suite may record beside this one.
    const talvex::test::HostDirectory folder;
    const std::string events = folder.Path() + "events.txt";
    auto host = RunHost("record --codec jpeg --discard --motion --seconds 9 --events " + events, 4);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(Hook("/camsim/control?motion=MdWin2"), "");
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(Hook("/camsim/control?motion=off"), "");
    const ToolResult result = host.get();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("  motion changes 3 (to motion 1)"), std::string::npos) << result.output;
    std::ifstream file(events);
    std::vector<std::string> motion;
    for (std::string line; std::getline(file, line);)
        if (line.find(" motion ") != std::string::npos)
            motion.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(motion, (std::vector<std::string>{"127.0.0.1 motion off", "127.0.0.1 motion on",
                                                "127.0.0.1 motion off"}));
}

} // namespace
} // namespace camsim

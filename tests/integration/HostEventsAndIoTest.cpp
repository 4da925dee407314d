// fennwick-host against a camsim camera through libfennwick.so: the io command
// sees a sensor that the test switches and switches an output that the camera
// then reports; record --motion logs the motion that the test shows the camera.
// The camera is driven and read only through its /camsim/ hooks.
#include "HttpMedia.h"

#include "support/CamsimHost.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using namespace talvex::test;

using HostEventsAndIoTest = CamsimHost;

// The camera's motion JPEG and HTTP-started RTP routes.
void AddMedia(Camera& camera) { camera.AddServer(std::make_unique<HttpMedia>(camera)); }

TEST_F(HostEventsAndIoTest, IoPrintsASensorChangeAndSwitchesAnOutput) {
    ASSERT_NO_FATAL_FAILURE(StartCamera("SNC-VB630", AddMedia));
    auto host = StartHost("io --inputs 1 --outputs 1 --set 1=on --watch 6", 6);
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
    ASSERT_NO_FATAL_FAILURE(StartCamera("SNC-RH124", AddMedia));
    // A folder of its own: another run of the suite may record beside this one.
    const HostDirectory folder;
    const std::string events = folder.Path() + "events.txt";
    auto host = StartHost("record --codec jpeg --discard --motion --seconds 9 --events " + events, 4);
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

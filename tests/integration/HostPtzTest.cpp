// fennwick-host ptz against a camsim dome through libfennwick.so: a move that
// runs until a stop, a preset saved there, listed and called back. The camera
// is read through its /camsim/state hook and its request log.
#include "support/CamsimHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using namespace talvex::test;

constexpr const char* kCapabilities = "Pan=1;Tilt=1;Zoom=1;Focus=1;Iris=1;AreaZoom=1;Center=1;Unzoom=1;Preset=16";

class HostPtzTest : public CamsimHost {
protected:
    ToolResult RunPtz(uint32_t generation, const std::string& actions) {
        return RunHost(std::string("ptz --ptz '") + kCapabilities + "' " + actions, generation);
    }
    bool Requested(const std::string& target) const {
        const std::vector<RequestRecord> requests = m_camera->Http().Requests();
        return std::any_of(requests.begin(), requests.end(),
                           [&](const RequestRecord& request) { return request.target == target; });
    }
};

TEST_F(HostPtzTest, MovesStopsAndCallsBackASavedPreset) {
    ASSERT_NO_FATAL_FAILURE(StartCamera("SNC-WR630")); // factory presets 1 Lobby and 2 Exit
    const ToolResult result =
        RunPtz(6, "move left 8 wait 300 stop preset-save Door presets preset-call Door");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const char* line : {"move left 8: 1\n", "wait 300\n", "stop: 1\n", "preset-save Door: 1\n", "presets: 3\n",
                             "preset 0 Lobby\n", "preset 1 Exit\n", "preset 2 Door\n", "preset-call Door: 1\n"})
        EXPECT_NE(result.output.find(line), std::string::npos) << line << "in\n" << result.output;

    // Host speed 8 of 16 is 11 of the camera's 4 to 20; the preset call goes at the top speed.
    for (const char* target : {"/command/ptzf.cgi?Move=left,11", "/command/ptzf.cgi?Move=stop,motor",
                               "/command/presetposition.cgi?PresetCall=3,24"})
        EXPECT_TRUE(Requested(target)) << target;
    const std::string state = Hook("/camsim/state");
    EXPECT_NE(state.find(R"("presets": {"1": "Lobby", "2": "Exit", "3": "Door"})"), std::string::npos) << state;
    const size_t pan = state.find("\"pan\": ");
    ASSERT_NE(pan, std::string::npos) << state;
    EXPECT_LT(std::stoi(state.substr(pan + 7)), -1000) << "left of where it started, at the saved preset";
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Hook("/camsim/state"), state) << "the head stands still after the stop";
}

} // namespace
} // namespace camsim

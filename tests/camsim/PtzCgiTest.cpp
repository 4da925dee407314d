// What only camsim's PTZ side does, as a client meets it over loopback: rates,
// the lens, preset checks, VISCA on generation 1, area zoom, the models without
// PTZ, and the two PTZ faults, also from the command line. A move, a stop and a
// preset saved and called back are met through the driver (HostPtzTest).
#include "PtzCgi.h"

#include "Camera.h"
#include "support/ChildProcess.h"
#include "support/LoopbackHttp.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using talvex::test::BodyOf;
using talvex::test::LoopbackExchange;
using talvex::test::LoopbackGet;
using talvex::test::StatusOf;
using Clock = std::chrono::steady_clock;

// One number of the state's "ptz" object; INT32_MIN when it is missing.
int32_t PtzField(const std::string& state, const std::string& name) {
    const size_t ptz = state.find("\"ptz\": {");
    const size_t field = ptz == std::string::npos ? ptz : state.find("\"" + name + "\": ", ptz);
    return field == std::string::npos ? INT32_MIN : std::stoi(state.substr(field + name.size() + 4));
}

// The presets as the state lists them: {"1": "Home", ...}.
std::string Presets(const std::string& state) {
    const size_t begin = state.find("\"presets\": ");
    return begin == std::string::npos ? std::string() : state.substr(begin + 11, state.find('}', begin) - begin - 10);
}

// One request: a GET, or a POST when body is not empty; then a pause.
struct Step {
    std::string target;
    int status;
    std::chrono::milliseconds pause = 0ms;
    std::string body = {};
};

struct PtzCase {
    std::string title;
    std::string model;
    std::vector<Step> steps;
    std::function<void(const std::string& state)> check;
};

class PtzCgiTest : public ::testing::Test {
protected:
    void Start(const std::string& model, PtzFaults faults = {}) {
        CameraOptions options;
        options.model = model;
        options.auth = AuthMode::None;
        options.ptzFaults = faults;
        m_camera = std::make_unique<Camera>(options);
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    std::string Raw(const Step& step) {
        if (step.body.empty())
            return LoopbackGet(m_camera->Http().Port(), step.target, 3s);
        return LoopbackExchange(m_camera->Http().Port(),
                                "POST " + step.target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                "Content-Length: " + std::to_string(step.body.size()) + "\r\n\r\n" + step.body, 3s);
    }
    std::string Body(const std::string& target) { return BodyOf(Raw({target, 200})); }
    std::string State() { return Body("/camsim/state"); }

    std::unique_ptr<Camera> m_camera;
};

constexpr const char* kPreset = "/command/presetposition.cgi";

TEST_F(PtzCgiTest, RequestsMoveTheHeadLensAndPresets) {
    const std::vector<PtzCase> cases = {
        {"a diagonal drives both axes at one rate", "SNC-RH124",
         {{"/command/ptzf.cgi?Move=down-right,12", 200, 200ms}, {"/command/ptzf.cgi?Move=stop,motor", 200}},
         [](const std::string& state) {
             EXPECT_GT(PtzField(state, "pan"), 1500); // 150 degrees a second (half the top rate) for about 0.2 s
             EXPECT_LT(PtzField(state, "pan"), 6000) << "not faster than the speed asks";
             EXPECT_EQ(PtzField(state, "tilt"), -PtzField(state, "pan"));
         }},
        {"zoom and focus run at lens speeds", "SNC-WR630",
         {{"/command/ptzf.cgi?Move=tele,8", 200, 300ms},
          {"/command/ptzf.cgi?Move=stop,zoom", 200},
          {"/command/ptzf.cgi?Move=near,4", 200, 200ms},
          {"/command/ptzf.cgi?Move=stop,focus", 200},
          {"/command/ptzf.cgi?Move=tele,9", 400},
          {"/command/ptzf.cgi?Move=left,25", 400},
          {"/command/ptzf.cgi?Move=stop,iris", 400},
          {"/command/ptzf.cgi?Move=sideways,4", 400}},
         [](const std::string& state) {
             // the whole range in 4 s: about 0.3 s of it
             EXPECT_GT(PtzField(state, "zoom"), 0x4000 * 6 / 100);
             EXPECT_LT(PtzField(state, "zoom"), 0x4000 * 20 / 100);
             EXPECT_GT(PtzField(state, "focus"), 0x1000);
             EXPECT_EQ(PtzField(state, "pan"), 0);
         }},
        {"clear removes a preset; numbers and fields are checked", "SNC-RZ25N",
         {{kPreset + std::string("?PresetClear=1"), 200},
          {kPreset + std::string("?PresetClear=1"), 400},
          {kPreset + std::string("?PresetCall=6"), 400},
          {kPreset + std::string("?PresetCall=2,25"), 400},
          {kPreset, 400, 0ms, "PresetSet=17,Far"},
          {kPreset, 400, 0ms, "PresetSet=3,Hall,off"},
          {kPreset, 400, 0ms, "PresetSet=3,abcdefghijklmnopqrstuvwxyz0123456"},
          {kPreset, 200, 0ms, "PresetSet=3,abcdefghijklmnopqrstuvwxyz012345"}},
         [](const std::string& state) {
             EXPECT_EQ(Presets(state), R"({"2": "Door", "3": "abcdefghijklmnopqrstuvwxyz012345"})");
         }},
        {"generation 6 takes the third PresetSet field and a coded name", "SNC-WR630",
         {{kPreset, 200, 0ms, "PresetSet=10,Side%20door,off"}, {kPreset + std::string("?PresetClear=2"), 200}},
         [](const std::string& state) { EXPECT_EQ(Presets(state), R"({"1": "Lobby", "10": "Side door"})"); }},
        {"generation 1 zooms and focuses by VISCA only", "SNC-Z20N",
         {{"/command/ptzf.cgi?visca=8101040727FF", 200, 200ms},
          {"/command/ptzf.cgi?visca=8101040700FF", 200},
          {"/command/ptzf.cgi?visca=8101040835FF", 200, 200ms},
          {"/command/ptzf.cgi?visca=8101040800FF", 200},
          {"/command/ptzf.cgi?visca=8101040728FF", 400},
          {"/command/ptzf.cgi?visca=81010407FF", 400},
          {"/command/ptzf.cgi?Move=left,8", 400},
          {"/command/ptzf.cgi?AreaZoom=0,0,320,240,jpeg", 400},
          {kPreset + std::string("?PresetCall=1"), 404}},
         [](const std::string& state) {
             EXPECT_GT(PtzField(state, "zoom"), 0);
             EXPECT_GT(PtzField(state, "focus"), 0x1000) << "3p is near";
             EXPECT_EQ(Presets(state), "{}");
         }},
        {"VISCA zoom direct and unzoom", "SNC-Z20N",
         {{"/command/ptzf.cgi?visca=8101044701020300FF", 200}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "zoom"), 0x1230); }},
        {"unzoom returns to full wide; VISCA is refused above generation 1", "SNC-RH124",
         {{"/command/ptzf.cgi?Move=tele,8", 200, 100ms},
          {"/command/ptzf.cgi?AbsoluteZoom=0", 200},
          {"/command/ptzf.cgi?AbsoluteZoom=4001", 400},
          {"/command/ptzf.cgi?visca=8101040727FF", 400}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "zoom"), 0); }},
        {"area zoom turns towards the point and zooms into the area", "SNC-WR630",
         {{"/command/ptzf.cgi?AreaZoom=64,-32,320,180,Image1", 200},
          {"/command/ptzf.cgi?AreaZoom=0,0,320,180,jpeg", 400},
          {"/command/ptzf.cgi?AreaZoom=0,0,320", 400}},
         [](const std::string& state) {
             EXPECT_EQ(PtzField(state, "pan"), 500); // 64 of 640 pixels across 50 degrees
             EXPECT_EQ(PtzField(state, "tilt"), 250);
             EXPECT_EQ(PtzField(state, "zoom"), 0x4000 / 17); // twice the wide angle of an 18 times lens
         }},
        {"area zoom with a codec suffix below generation 5", "SNC-RH124",
         {{"/command/ptzf.cgi?AreaZoom=0,0,0,0,h264", 200}, {"/command/ptzf.cgi?AreaZoom=0,0,0,0,Image1", 400}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "zoom"), 0); }},
        {"the iris follows camera.cgi", "SNC-RZ25N",
         {{"/command/camera.cgi?FocusMode=manual&ExpMode=manual&Iris=3", 200},
          {"/command/camera.cgi?Iris=17", 200}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "iris"), 3); }},
        {"a camera without PTZ answers no PTZ CGI", "SNC-CH210",
         {{"/command/ptzf.cgi?Move=left,8", 404}, {kPreset, 404, 0ms, "PresetSet=1,Door"}},
         [](const std::string& state) { EXPECT_EQ(state.find("\"ptz\""), std::string::npos) << state; }},
    };
    for (const PtzCase& test : cases) {
        SCOPED_TRACE(test.title);
        Start(test.model);
        for (const Step& step : test.steps) {
            const std::string answer = Raw(step);
            EXPECT_EQ(StatusOf(answer), step.status) << step.target << " " << step.body << "\n" << BodyOf(answer);
            std::this_thread::sleep_for(step.pause);
        }
        const std::string state = State();
        test.check(state);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(State(), state) << "everything stands still after the stops";
        m_camera.reset();
    }
}

TEST_F(PtzCgiTest, HangFaultDelaysPtzRequestsAndEndsWithTheServer) {
    Start("SNC-RZ25N", {400, false});
    auto started = Clock::now();
    EXPECT_EQ(StatusOf(Raw({"/command/ptzf.cgi?Move=left,8", 200})), 200);
    EXPECT_GE(Clock::now() - started, 400ms);
    started = Clock::now();
    EXPECT_EQ(StatusOf(Raw({"/command/inquiry.cgi?inq=presetposition", 200})), 200);
    EXPECT_LT(Clock::now() - started, 300ms) << "inquiries do not hang";

    m_camera->PtzCommands().SetFaults({60000, false});
    auto hanging = std::async(std::launch::async, [&] { return Raw({kPreset + std::string("?PresetCall=1"), 0}); });
    std::this_thread::sleep_for(200ms);
    started = Clock::now();
    m_camera->Stop();
    EXPECT_LT(Clock::now() - started, 1s);
    ASSERT_EQ(hanging.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(StatusOf(hanging.get()), 0) << "no answer once the camera stopped";
}

TEST(PtzCommandLine, TakesThePtzFaults) {
    talvex::test::ChildProcess camsim({FENNWICK_CAMSIM_EXECUTABLE, "--model", "SNC-RH124", "--auth", "none",
                                       "--fault-ptz-hang", "300", "--fault-preset-names"});
    const std::optional<std::string> ready = camsim.ReadLine(10s);
    ASSERT_TRUE(ready && ready->starts_with("READY http=")) << ready.value_or("no READY line");
    const uint16_t port = uint16_t(std::stoul(ready->substr(11)));
    EXPECT_EQ(BodyOf(LoopbackGet(port, "/command/inquiry.cgi?inq=presetposition", 3s)), "PresetName=1,,16");
    const auto started = Clock::now();
    EXPECT_EQ(StatusOf(LoopbackGet(port, "/command/ptzf.cgi?Move=stop,motor", 3s)), 200);
    EXPECT_GE(Clock::now() - started, 300ms);
    EXPECT_EQ(camsim.Stop(), 0);

    talvex::test::ChildProcess refused({FENNWICK_CAMSIM_EXECUTABLE, "--model", "SNC-RH124", "--fault-ptz-hang", "x"});
    EXPECT_FALSE(refused.ReadLine(10s));
    EXPECT_EQ(refused.Stop(), 2);
}

} // namespace
} // namespace camsim

// What only camsim's PTZ and alarm sides do, as a client meets them over
// loopback: PTZ rates, the lens, preset checks, VISCA on generation 1, area
// zoom and the models without PTZ; the alarm-out key styles and triggers; the
// /camsim/ control hook; the PTZ faults and the alarm options, also from the
// command line. A move, a stop, a preset saved and called back, a sensor and an
// output of the trigger style are met through the driver (HostPtzTest,
// HostEventsAndIoTest).
#include "PtzCgi.h"

#include "AlarmIo.h"
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

// The state's alarm members only: {"inputs": ..., "outputs": ..., "motion": "..."}.
std::string AlarmMembers(const std::string& state) {
    const size_t inputs = state.find(R"("inputs")"), motion = state.find(R"("motion": ")");
    if (inputs == std::string::npos || motion == std::string::npos)
        return state;
    return "{" + state.substr(inputs, state.find('"', motion + 11) + 1 - inputs) + "}";
}

// One request: a GET, or a POST when body is not empty; then a pause.
struct Step {
    std::string target;
    int status;
    std::chrono::milliseconds pause = 0ms;
    std::string body = {};
};

class CamsimCgiTest : public ::testing::Test {
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
    int Status(const std::string& target) { return StatusOf(Raw({target, 0})); }
    std::string Body(const std::string& target) { return BodyOf(Raw({target, 200})); }
    std::string State() { return Body("/camsim/state"); }

    std::unique_ptr<Camera> m_camera;
};

struct PtzCase {
    std::string title;
    std::string model;
    std::vector<Step> steps;
    std::function<void(const std::string& state)> check;
};

const std::string kPtzf = "/command/ptzf.cgi?";
const std::string kPreset = "/command/presetposition.cgi";

TEST_F(CamsimCgiTest, PtzRequestsMoveTheHeadLensAndPresets) {
    const std::vector<PtzCase> cases = {
        {"a diagonal drives both axes at one rate", "SNC-RH124",
         {{kPtzf + "Move=down-right,12", 200, 200ms}, {kPtzf + "Move=stop,motor", 200}},
         [](const std::string& state) {
             EXPECT_GT(PtzField(state, "pan"), 1500); // 150 degrees a second (half the top rate) for about 0.2 s
             EXPECT_LT(PtzField(state, "pan"), 6000) << "not faster than the speed asks";
             EXPECT_EQ(PtzField(state, "tilt"), -PtzField(state, "pan"));
         }},
        {"zoom and focus run at lens speeds", "SNC-WR630",
         {{kPtzf + "Move=tele,8", 200, 300ms}, {kPtzf + "Move=stop,zoom", 200},
          {kPtzf + "Move=near,4", 200, 200ms}, {kPtzf + "Move=stop,focus", 200},
          {kPtzf + "Move=tele,9", 400}, {kPtzf + "Move=left,25", 400},
          {kPtzf + "Move=stop,iris", 400}, {kPtzf + "Move=sideways,4", 400}},
         [](const std::string& state) {
             // the whole range in 4 s: about 0.3 s of it
             EXPECT_GT(PtzField(state, "zoom"), 0x4000 * 6 / 100);
             EXPECT_LT(PtzField(state, "zoom"), 0x4000 * 20 / 100);
             EXPECT_GT(PtzField(state, "focus"), 0x1000);
             EXPECT_EQ(PtzField(state, "pan"), 0);
         }},
        {"clear removes a preset; numbers and fields are checked", "SNC-RZ25N",
         {{kPreset + "?PresetClear=1", 200}, {kPreset + "?PresetClear=1", 400},
          {kPreset + "?PresetCall=6", 400}, {kPreset + "?PresetCall=2,25", 400},
          {kPreset, 400, 0ms, "PresetSet=17,Far"}, {kPreset, 400, 0ms, "PresetSet=3,Hall,off"},
          {kPreset, 400, 0ms, "PresetSet=3,abcdefghijklmnopqrstuvwxyz0123456"},
          {kPreset, 200, 0ms, "PresetSet=3,abcdefghijklmnopqrstuvwxyz012345"}},
         [](const std::string& state) {
             EXPECT_EQ(Presets(state), R"({"2": "Door", "3": "abcdefghijklmnopqrstuvwxyz012345"})");
         }},
        {"generation 6 takes the third PresetSet field and a coded name", "SNC-WR630",
         {{kPreset, 200, 0ms, "PresetSet=10,Side%20door,off"}, {kPreset + "?PresetClear=2", 200}},
         [](const std::string& state) { EXPECT_EQ(Presets(state), R"({"1": "Lobby", "10": "Side door"})"); }},
        {"generation 1 zooms and focuses by VISCA only", "SNC-Z20N",
         {{kPtzf + "visca=8101040727FF", 200, 200ms}, {kPtzf + "visca=8101040700FF", 200},
          {kPtzf + "visca=8101040835FF", 200, 200ms}, {kPtzf + "visca=8101040800FF", 200},
          {kPtzf + "visca=8101040728FF", 400}, {kPtzf + "visca=81010407FF", 400},
          {kPtzf + "Move=left,8", 400}, {kPtzf + "AreaZoom=0,0,320,240,jpeg", 400},
          {kPreset + "?PresetCall=1", 404}},
         [](const std::string& state) {
             EXPECT_GT(PtzField(state, "zoom"), 0);
             EXPECT_GT(PtzField(state, "focus"), 0x1000) << "3p is near";
             EXPECT_EQ(Presets(state), "{}");
         }},
        {"VISCA zoom direct", "SNC-Z20N", {{kPtzf + "visca=8101044701020300FF", 200}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "zoom"), 0x1230); }},
        {"unzoom returns to full wide; VISCA is refused above generation 1", "SNC-RH124",
         {{kPtzf + "Move=tele,8", 200, 100ms}, {kPtzf + "AbsoluteZoom=0", 200},
          {kPtzf + "AbsoluteZoom=4001", 400}, {kPtzf + "visca=8101040727FF", 400}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "zoom"), 0); }},
        {"area zoom turns towards the point and zooms into the area", "SNC-WR630",
         {{kPtzf + "AreaZoom=64,-32,320,180,Image1", 200}, {kPtzf + "AreaZoom=0,0,320,180,jpeg", 400},
          {kPtzf + "AreaZoom=0,0,320", 400}},
         [](const std::string& state) {
             EXPECT_EQ(PtzField(state, "pan"), 500); // 64 of 640 pixels across 50 degrees
             EXPECT_EQ(PtzField(state, "tilt"), 250);
             EXPECT_EQ(PtzField(state, "zoom"), 0x4000 / 17); // twice the wide angle of an 18 times lens
         }},
        {"area zoom with a codec suffix below generation 5", "SNC-RH124",
         {{kPtzf + "AreaZoom=0,0,0,0,h264", 200}, {kPtzf + "AreaZoom=0,0,0,0,Image1", 400}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "zoom"), 0); }},
        {"the iris follows camera.cgi", "SNC-RZ25N",
         {{"/command/camera.cgi?FocusMode=manual&ExpMode=manual&Iris=3", 200}, {"/command/camera.cgi?Iris=17", 200}},
         [](const std::string& state) { EXPECT_EQ(PtzField(state, "iris"), 3); }},
        {"a camera without PTZ answers no PTZ CGI", "SNC-CH210",
         {{kPtzf + "Move=left,8", 404}, {kPreset, 404, 0ms, "PresetSet=1,Door"}},
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

TEST_F(CamsimCgiTest, PtzHangFaultSparesInquiriesAndEndsWithTheServer) {
    Start("SNC-RZ25N", {400, false});
    auto started = Clock::now();
    EXPECT_EQ(Status("/command/inquiry.cgi?inq=presetposition"), 200);
    EXPECT_LT(Clock::now() - started, 300ms) << "inquiries do not hang";

    m_camera->PtzCommands().SetFaults({60000, false});
    auto hanging = std::async(std::launch::async, [&] { return Status(kPreset + "?PresetCall=1"); });
    std::this_thread::sleep_for(200ms);
    started = Clock::now();
    m_camera->Stop();
    EXPECT_LT(Clock::now() - started, 1s);
    ASSERT_EQ(hanging.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(hanging.get(), 0) << "no answer once the camera stopped";
}

// A model's keys before and after a driver puts an output under manual
// control, and its trigger, which moves the output only afterwards.
struct StyleCase {
    std::string model;
    std::string before;    // inq=alarmout after a factory reset
    std::string configure; // alarmout.cgi parameters
    std::string after;     // inq=alarmout then
    std::string trigger;   // switches the output on
    std::string foreign;   // another style's request: 404 for another CGI, 400 for unnumbered on a numbered model
    int foreignStatus;
    std::string outputs;   // the state's outputs in the end
};

TEST_F(CamsimCgiTest, EachAlarmOutStyleSwitchesOutputsOnlyUnderManualControl) {
    const std::vector<StyleCase> cases = {
        {"SNC-Z20N", "AlarmOutFunc=off&AoManualFunc=off", "AlarmOutFunc=on&AoManualFunc=on",
         "AlarmOutFunc=on&AoManualFunc=on", "/command/main.cgi?trigger=alarmouton",
         "/command/trigger.cgi?Alarmout1=on", 404, R"({"1": "on"})"},
        {"SNC-DF50P", "AlarmOutFunc=off&AoMode=alarm", "AlarmOutFunc=on&AoMode=manual", "AlarmOutFunc=on&AoMode=manual",
         "/command/main.cgi?trigger=alarmouton", "/command/trigger.cgi?Alarmout1=on", 404, R"({"1": "on"})"},
        {"SNC-RZ25N", "AlarmOut1Func=off&Ao1ManualFunc=off", "AlarmOut1Func=on&Ao1ManualFunc=on",
         "AlarmOut1Func=on&Ao1ManualFunc=on", "/command/main.cgi?trigger=alarmout1on",
         "/command/trigger.cgi?Alarmout1=on", 404, R"({"1": "on"})"},
        {"SNT-EX104", "AlarmOut1Func=off&Ao1Mode=alarm&AlarmOut2Func=off&Ao2Mode=alarm", "AlarmOut2Func=on&Ao2Mode=manual",
         "AlarmOut1Func=off&Ao1Mode=alarm&AlarmOut2Func=on&Ao2Mode=manual", "/command/main.cgi?trigger=alarmout2on",
         "/command/main.cgi?trigger=alarmouton", 400, R"({"1": "off", "2": "on"})"},
    };
    for (const StyleCase& test : cases) {
        SCOPED_TRACE(test.model);
        Start(test.model);
        EXPECT_EQ(Body("/command/inquiry.cgi?inq=alarmout"), test.before);
        EXPECT_EQ(Status(test.trigger), 200);
        EXPECT_EQ(AlarmMembers(State()).find(R"("on")"), std::string::npos) << "switched without manual control";
        EXPECT_EQ(Status(test.foreign), test.foreignStatus);
        EXPECT_EQ(Status("/command/alarmout.cgi?" + test.configure), 200);
        EXPECT_EQ(Body("/command/inquiry.cgi?inq=alarmout"), test.after);
        EXPECT_EQ(Status(test.trigger), 200);
        EXPECT_NE(State().find(R"("outputs": )" + test.outputs), std::string::npos) << State();
        m_camera.reset();
    }
}

TEST_F(CamsimCgiTest, ControlRefusesBadKeysAndValuesAndChangesNothingThen) {
    Start("SNC-WR630");
    const std::string quiet = R"({"inputs": {"1": "off", "2": "off"}, "outputs": {"1": "off"}, "motion": "off"})";
    EXPECT_EQ(AlarmMembers(State()), quiet);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"sensor3=on", "sensor3: this camera has inputs sensor1 to sensor2\n"},
        {"sensor1=1", "sensor1 wants on or off, not '1'\n"},
        {"sensor1=on&motion=MdWin5", "motion wants off or a window (OdWin1-4, MdWin1-4, AdWin1-2), not 'MdWin5'\n"},
        {"zoom=1", "unknown control key 'zoom'\n"},
        {"", "no control key given\n"},
    };
    for (const auto& [query, reason] : refused) {
        const std::string answer = Raw({"/camsim/control?" + query, 400});
        EXPECT_EQ(StatusOf(answer), 400) << query;
        EXPECT_EQ(BodyOf(answer), reason) << query;
    }
    EXPECT_EQ(AlarmMembers(State()), quiet);
    EXPECT_EQ(Status("/camsim/control?sensor2=on&motion=AdWin2"), 200);
    EXPECT_EQ(AlarmMembers(State()),
              R"({"inputs": {"1": "off", "2": "on"}, "outputs": {"1": "off"}, "motion": "AdWin2"})");
    EXPECT_EQ(Status("/camsim/control?sensor2=off&motion=off"), 200);
    EXPECT_EQ(AlarmMembers(State()), quiet);
    EXPECT_EQ(Status("/camsim/other"), 404);
}

// The command line: the PTZ faults, the alarm counts and faults, and options a
// model cannot take or that do not parse.
TEST(CamsimCgiCommandLine, TakesThePtzFaultsAndAlarmOptions) {
    talvex::test::ChildProcess camsim({FENNWICK_CAMSIM_EXECUTABLE, "--model", "SNC-RH124", "--auth", "none",
                                       "--fault-ptz-hang", "300", "--fault-preset-names", "--inputs", "2",
                                       "--outputs", "2", "--fault-inquiry-500", "sensor", "--fault-alarm-cut"});
    const std::optional<std::string> ready = camsim.ReadLine(10s);
    ASSERT_TRUE(ready && ready->starts_with("READY http=")) << ready.value_or("no READY line");
    const uint16_t port = uint16_t(std::stoul(ready->substr(11)));
    auto get = [port](const std::string& target) { return LoopbackGet(port, target, 3s); };
    EXPECT_EQ(BodyOf(get("/command/inquiry.cgi?inq=presetposition")), "PresetName=1,,16");
    const auto started = Clock::now();
    EXPECT_EQ(StatusOf(get("/command/ptzf.cgi?Move=stop,motor")), 200);
    EXPECT_GE(Clock::now() - started, 300ms);
    EXPECT_EQ(BodyOf(get("/command/inquiry.cgi?inq=alarmout")),
              "AlarmOut1Func=off&Ao1Mode=alarm&AlarmOut2Func=off&Ao2Mode=alarm");
    EXPECT_EQ(StatusOf(get("/command/inquiry.cgi?inq=sensor")), 500);
    EXPECT_NE(BodyOf(get("/camsim/state")).find(R"("inputs": {"1": "off", "2": "off"})"), std::string::npos);
    EXPECT_EQ(StatusOf(get("/command/system.cgi?AlarmData=on")), 200);
    const std::string records = BodyOf(get("/command/alarmdata.cgi"));
    const size_t whole = records.find("--alarmdata", 1);
    ASSERT_NE(whole, std::string::npos) << records;
    EXPECT_EQ(records, records.substr(0, whole) + records.substr(0, whole / 2)); // one and a half records
    EXPECT_EQ(camsim.Stop(), 0);

    for (const auto& [model, option, value, status] :
         {std::tuple{"SNC-RH124", "--fault-ptz-hang", "x", 2}, std::tuple{"SNC-Z20N", "--outputs", "2", 1},
          std::tuple{"SNC-Z20N", "--inputs", "17", 2}}) {
        talvex::test::ChildProcess refused({FENNWICK_CAMSIM_EXECUTABLE, "--model", model, option, value});
        EXPECT_FALSE(refused.ReadLine(10s)) << option;
        EXPECT_EQ(refused.Stop(), status) << option;
    }
}

} // namespace
} // namespace camsim

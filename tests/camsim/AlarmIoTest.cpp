// What only camsim's alarm side does on its own: the alarm-out keys and trigger
// CGIs of each key style (the driver meets one of them end to end), the
// /camsim/ test hooks and the alarm options of its command line. Sensors and
// the alarm-data stream are met through the driver (HostEventsAndIoTest).
#include "AlarmIo.h"

#include "Camera.h"
#include "support/ChildProcess.h"
#include "support/LoopbackHttp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using talvex::test::BodyOf;
using talvex::test::LoopbackGet;
using talvex::test::StatusOf;

class AlarmIoTest : public ::testing::Test {
protected:
    void Start(const std::string& model) {
        CameraOptions options;
        options.model = model;
        options.auth = AuthMode::None;
        m_camera = std::make_unique<Camera>(options);
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    std::string Raw(const std::string& target) { return LoopbackGet(m_camera->Http().Port(), target, 2s); }
    int Status(const std::string& target) { return StatusOf(Raw(target)); }
    std::string Body(const std::string& target) { return BodyOf(Raw(target)); }
    // The state's alarm members only: {"inputs": ..., "outputs": ..., "motion": "..."}.
    std::string State() {
        const std::string state = Body("/camsim/state");
        const size_t inputs = state.find(R"("inputs")"), motion = state.find(R"("motion": ")");
        if (inputs == std::string::npos || motion == std::string::npos)
            return state;
        return "{" + state.substr(inputs, state.find('"', motion + 11) + 1 - inputs) + "}";
    }

    std::unique_ptr<Camera> m_camera;
};

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

TEST_F(AlarmIoTest, EachStyleSwitchesOutputsOnlyUnderManualControl) {
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
        {"SNC-VB630", "AlarmOutFuncAo1=off&AlmModeAo1=alarm&AlmPeriodAo1=schedule&AlmTriggerAo1=sensor1",
         "AlarmOutFuncAo1=on&AlmPeriodAo1=always&AlmTriggerAo1=cond1",
         "AlarmOutFuncAo1=on&AlmModeAo1=alarm&AlmPeriodAo1=always&AlmTriggerAo1=cond1",
         "/command/trigger.cgi?Alarmout1=on", "/command/main.cgi?trigger=alarmout1on", 404, R"({"1": "on"})"},
    };
    for (const StyleCase& test : cases) {
        SCOPED_TRACE(test.model);
        Start(test.model);
        EXPECT_EQ(Body("/command/inquiry.cgi?inq=alarmout"), test.before);
        EXPECT_EQ(Status(test.trigger), 200);
        EXPECT_EQ(State().find(R"("on")"), std::string::npos) << "switched without manual control";
        EXPECT_EQ(Status(test.foreign), test.foreignStatus);
        EXPECT_EQ(Status("/command/alarmout.cgi?" + test.configure), 200);
        EXPECT_EQ(Body("/command/inquiry.cgi?inq=alarmout"), test.after);
        EXPECT_EQ(Status(test.trigger), 200);
        EXPECT_NE(State().find(R"("outputs": )" + test.outputs), std::string::npos) << State();
        m_camera.reset();
    }
}

TEST_F(AlarmIoTest, ControlRefusesBadKeysAndValuesAndChangesNothingThen) {
    Start("SNC-WR630");
    const std::string quiet = R"({"inputs": {"1": "off", "2": "off"}, "outputs": {"1": "off"}, "motion": "off"})";
    EXPECT_EQ(State(), quiet);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"sensor3=on", "sensor3: this camera has inputs sensor1 to sensor2\n"},
        {"sensor1=1", "sensor1 wants on or off, not '1'\n"},
        {"sensor1=on&motion=MdWin5", "motion wants off or a window (OdWin1-4, MdWin1-4, AdWin1-2), not 'MdWin5'\n"},
        {"zoom=1", "unknown control key 'zoom'\n"},
        {"", "no control key given\n"},
    };
    for (const auto& [query, reason] : refused) {
        const std::string answer = Raw("/camsim/control?" + query);
        EXPECT_EQ(StatusOf(answer), 400) << query;
        EXPECT_EQ(BodyOf(answer), reason) << query;
    }
    EXPECT_EQ(State(), quiet);
    EXPECT_EQ(Status("/camsim/control?sensor2=on&motion=AdWin2"), 200);
    EXPECT_EQ(State(), R"({"inputs": {"1": "off", "2": "on"}, "outputs": {"1": "off"}, "motion": "AdWin2"})");
    EXPECT_EQ(Status("/camsim/control?sensor2=off&motion=off"), 200);
    EXPECT_EQ(State(), quiet);
    EXPECT_EQ(Status("/camsim/other"), 404);
}

// The command line: counts, the two alarm faults, and counts a model cannot take.
TEST(AlarmIoCommandLine, TakesCountsAndAlarmFaults) {
    talvex::test::ChildProcess camsim({FENNWICK_CAMSIM_EXECUTABLE, "--model", "SNC-RH124", "--auth", "none",
                                       "--inputs", "2", "--outputs", "2", "--fault-inquiry-500", "sensor",
                                       "--fault-alarm-cut"});
    const std::optional<std::string> ready = camsim.ReadLine(10s);
    ASSERT_TRUE(ready && ready->starts_with("READY http=")) << ready.value_or("no READY line");
    const uint16_t port = uint16_t(std::stoul(ready->substr(11)));
    auto get = [port](const std::string& target) { return LoopbackGet(port, target, 3s); };
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

    for (const auto& [option, count, status] : {std::tuple{"--outputs", "2", 1}, std::tuple{"--inputs", "17", 2}}) {
        talvex::test::ChildProcess refused({FENNWICK_CAMSIM_EXECUTABLE, "--model", "SNC-Z20N", option, count});
        EXPECT_FALSE(refused.ReadLine(10s)) << option;
        EXPECT_EQ(refused.Stop(), status) << option;
    }
}

} // namespace
} // namespace camsim

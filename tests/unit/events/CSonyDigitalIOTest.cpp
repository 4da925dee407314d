#include "events/CSonyDigitalIO.h"

#include "support/FakeDriver.h"
#include "support/WaitUntil.h"
#include "unit/events/FakeIOCallback.h"
#include "unit/events/FakeSonyCameraServer.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using States = std::vector<uint32_t>;

using test::CountLines;

struct SensorCase {
    const char* answer;
    uint32_t inputs;
    States states;
};

TEST(CSonyDigitalIOSensors, StatesAreReadFromTheSensorAnswer) {
    const SensorCase cases[] = {
        {"Sensor=1", 1, {2}},
        {"Sensor=0", 1, {1}},
        {"Sensor=on", 1, {2}},
        {"Sensor=off", 1, {1}},
        {"Sensor1=1&Sensor2=0&Sensor4=1", 4, {2, 1, 0, 2}},
        {"Sensor=1&Sensor1=0&Sensor2=1", 2, {1, 2}},
        {"Sensor1=1", 0, {}},
        {"", 2, {0, 0}},
    };
    for (const SensorCase& test : cases)
        EXPECT_EQ(CSonyDigitalIO::ReadSensorStates(test.answer, test.inputs), test.states) << test.answer;
}

class CSonyDigitalIOTest : public ::testing::Test {
protected:
    CSonyDigitalIOTest() {
        driver.GetDeviceInfo()->generation = 6;
        camera.Answer("/command/inquiry.cgi?inq=system", {200, "ModelName=SNC-VB630&AlarmData=off"});
        camera.Answer("/command/inquiry.cgi?inq=alarmout", {200, "AlarmOut1Func=off&Ao1ManualFunc=off"});
        camera.Answer("/command/inquiry.cgi?inq=sensor", {200, "Sensor=1"});
    }
    // A fresh object for the counts set by the test.
    CSonyDigitalIO& MakeIO(uint32_t inputs, uint32_t outputs) {
        driver.m_inputs = inputs;
        driver.m_outputs = outputs;
        io = std::make_unique<CSonyDigitalIO>(&driver);
        io->SetCallback(&callback);
        return *io;
    }
    bool SeenTimes(const std::string& target, size_t times) {
        return test::WaitUntil([&] { return camera.CountOf(target) >= times; });
    }

    test::FakeSonyCameraServer camera;
    test::FakeDriver driver{"127.0.0.1", camera.Port()};
    test::FakeIOCallback callback;
    std::unique_ptr<CSonyDigitalIO> io;
};

// What an output's set-up asks and sends, by generation: the alarm-data switch
// unless it is on, the configuration of the numbered style, the first switch off.
TEST_F(CSonyDigitalIOTest, OutputsAreConfiguredInTheirGenerationsWayThenSwitchedOff) {
    const std::pair<uint32_t, std::vector<std::string>> cases[] = {
        {6,
         {"/command/inquiry.cgi?inq=system", "/command/system.cgi?AlarmData=on", "/command/inquiry.cgi?inq=alarmout",
          "/command/alarmout.cgi?AlarmOut1Func=on&Ao1ManualFunc=on", "/command/main.cgi?trigger=alarmout1off"}},
        {1, {"/command/inquiry.cgi?inq=sysinfo", "/command/inquiry.cgi?inq=alarmout", "/command/main.cgi?trigger=alarmoutoff"}},
    };
    camera.Answer("/command/inquiry.cgi?inq=sysinfo", {200, "ModelName=SNC-Z20N&AlarmData=on"});
    for (const auto& [generation, expected] : cases) {
        SCOPED_TRACE("generation " + std::to_string(generation));
        driver.GetDeviceInfo()->generation = generation;
        if (generation == 1)
            camera.Answer("/command/inquiry.cgi?inq=alarmout", {200, "AlarmOutFunc=on&AoManualFunc=on"});
        camera.ClearTargets();
        MakeIO(0, 1).StartIO();
        ASSERT_TRUE(SeenTimes(expected.back(), 1));
        io->StopIO();
        EXPECT_EQ(camera.Targets(), expected);
    }
}

TEST_F(CSonyDigitalIOTest, RefusedSwitchFailsAndIsLoggedOnceWithItsCause) {
    camera.Answer("/command/trigger.cgi?Alarmout1=off", {500, ""});
    camera.Answer("/command/inquiry.cgi?inq=alarmout", {200, "AlarmOutFuncAo1=on&AlmModeAo1=alarm"});
    MakeIO(0, 1).StartIO();
    ASSERT_TRUE(test::WaitUntil([&] { return callback.Failures() == 1; }));
    io->SetOutput(0, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return callback.Failures() == 2; }));
    io->StopIO();
    EXPECT_EQ(CountLines(driver, "Unable to change output state for device 127.0.0.1"), 1u);
    EXPECT_EQ(CountLines(driver, "HTTP status code is 500"), 1u);
    for (const test::LogLine& line : driver.Lines())
        EXPECT_EQ(line.text.find("admin:admin"), std::string::npos) << line.text;
}

TEST_F(CSonyDigitalIOTest, StopEndsARequestTheCameraHolds) {
    camera.Hold("/command/inquiry.cgi?inq=sensor");
    MakeIO(1, 0).StartIO();
    ASSERT_TRUE(SeenTimes("/command/inquiry.cgi?inq=sensor", 1));
    const auto begin = std::chrono::steady_clock::now();
    io->StopIO();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_EQ(callback.Failures(), 0) << "a stopped poll is no camera failure";
}

} // namespace
} // namespace talvex

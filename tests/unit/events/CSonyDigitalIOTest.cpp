#include "events/CSonyDigitalIO.h"
#include "events/CSonyAlarmOutputs.h"
#include "events/CIOBase.h"
#include "events/CSonyMotionChannel.h"

#include "support/FakeChannelHost.h"
#include "support/FakeDriver.h"
#include "support/LoopbackHttpServer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace talvex {
namespace {

using States = std::vector<uint32_t>;

using test::CountLines;
using test::HttpAnswer;
using test::LoopbackHttpServer;
using test::WaitUntil;

// A Sony camera's CGI on a loopback port for the event tests: fixed answers
// by request target (a target not listed answers 200 with "OK"), every target
// recorded, and targets that the camera holds unanswered until it stops (a
// bounded wait).
class FakeSonyCameraServer {
public:
    ~FakeSonyCameraServer() { m_released = true; }

    uint16_t Port() const { return m_server.Port(); }
    std::vector<std::string> Targets() const { return m_server.Targets(); }
    void ClearTargets() { m_server.ClearTargets(); }
    size_t CountOf(const std::string& target) const { return size_t(std::ranges::count(Targets(), target)); }
    // Set before the first request, or only while no request is served.
    void Answer(const std::string& target, HttpAnswer answer) { m_answers[target] = std::move(answer); }
    void Hold(const std::string& target) { m_held.insert(target); }

private:
    HttpAnswer Serve(const std::string& target) {
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
             m_held.count(target) && !m_released && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        auto it = m_answers.find(target);
        return it == m_answers.end() ? HttpAnswer{200, "OK"} : it->second;
    }

    std::map<std::string, HttpAnswer> m_answers;
    std::set<std::string> m_held;
    std::atomic<bool> m_released{false};
    // Last: it serves from the members above and stops first.
    LoopbackHttpServer m_server{[this](const std::string& target) { return Serve(target); }};
};

// The camera of a generation 6 model on a loopback port and the driver that
// reaches it: what the I/O object and the motion channel both talk to.
class SonyCameraTest : public ::testing::Test {
protected:
    SonyCameraTest() { driver.GetDeviceInfo()->generation = 6; }

    FakeSonyCameraServer camera;
    test::FakeDriver driver{"127.0.0.1", camera.Port()};
};

// The host's I/O callback for the tests: keeps every input change and counts
// failures; called from the I/O threads while a test reads it.
class FakeIOCallback : public ipcapture::ICaptureIOCallback {
public:
    void OnInputChanged(uint32_t index, uint32_t state) override {
        std::lock_guard lock(m_mutex);
        m_changes.emplace_back(index, state);
    }
    void OnFailure() override {
        std::lock_guard lock(m_mutex);
        ++m_failures;
    }
    std::vector<std::pair<uint32_t, uint32_t>> Changes() const {
        std::lock_guard lock(m_mutex);
        return m_changes;
    }
    int Failures() const {
        std::lock_guard lock(m_mutex);
        return m_failures;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<uint32_t, uint32_t>> m_changes;
    int m_failures = 0;
};

constexpr const char* kOutputFailure = "output state for device 10.0.0.9:8080 (output index 1)";

// A device whose camera answers are scripted: each poll or switch takes the next result.
class ScriptedIO : public CIOBase {
public:
    using CIOBase::CIOBase;
    ~ScriptedIO() override { StopIO(); }

    bool SetOutputState(uint32_t index, uint32_t state) override {
        std::lock_guard lock(mutex);
        switched.emplace_back(index, state);
        return Next(switchResults);
    }
    bool GetInputStates() override {
        bool ok;
        {
            std::lock_guard lock(mutex);
            ok = Next(pollResults);
        }
        if (ok)
            for (uint32_t index = 0; index < inputStates.size(); ++index)
                ReportInput(index, inputStates[index]);
        return ok;
    }
    void AbortRequests() override {}
    using CIOBase::GetInputStatesWrapper;
    using CIOBase::SetOutputStateWrapper;

    std::vector<std::pair<uint32_t, uint32_t>> Switched() {
        std::lock_guard lock(mutex);
        return switched;
    }

    std::mutex mutex;
    std::deque<bool> pollResults, switchResults;
    std::vector<uint32_t> inputStates;
    std::vector<std::pair<uint32_t, uint32_t>> switched;

private:
    static bool Next(std::deque<bool>& results) {
        if (results.empty())
            return true;
        const bool result = results.front();
        results.pop_front();
        return result;
    }
};

class CIOBaseTest : public ::testing::Test {
protected:
    CIOBaseTest() {
        driver.m_inputs = 2;
        driver.m_outputs = 2;
        io.SetCallback(&callback);
    }
    size_t Count(const char* text) {
        size_t count = 0;
        for (const test::LogLine& line : driver.Lines())
            count += line.level == 1 && line.text.find(text) != std::string::npos;
        return count;
    }

    test::FakeDriver driver{"10.0.0.9", 8080};
    FakeIOCallback callback;
    ScriptedIO io{&driver};
};

// Input failures are logged at the second in a row, output failures at the
// first; either once per run of failures.
TEST_F(CIOBaseTest, FailuresAreLoggedOncePerRun) {
    // good, fail, good, fail, fail, fail, good, fail, fail
    io.pollResults = {true, false, true, false, false, false, true, false, false};
    const std::vector<size_t> polled = {0, 0, 0, 0, 1, 1, 1, 1, 2};
    for (size_t poll = 0; poll < polled.size(); ++poll) {
        io.GetInputStatesWrapper();
        EXPECT_EQ(Count("method failed! Device 10.0.0.9:8080"), polled[poll]) << "after poll " << poll;
    }
    io.switchResults = {false, false, true, false};
    const std::vector<size_t> switched = {1, 1, 1, 2};
    for (size_t change = 0; change < switched.size(); ++change) {
        io.SetOutputStateWrapper(1, 2);
        EXPECT_EQ(Count(kOutputFailure), switched[change]) << "after change " << change;
    }
    EXPECT_EQ(callback.Failures(), 6 + 3);
}

TEST_F(CIOBaseTest, OnlyInputChangesReachTheHostAndAFailureReportsAllAgain) {
    io.pollResults = {false}; // a failure sets every input to "none yet"
    io.GetInputStatesWrapper();
    io.inputStates = {1, 2};
    io.GetInputStatesWrapper();
    io.GetInputStatesWrapper();
    io.inputStates = {2, 2};
    io.GetInputStatesWrapper();
    io.pollResults = {false, true};
    io.GetInputStatesWrapper();
    io.GetInputStatesWrapper();
    using Changes = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(callback.Changes(), (Changes{{0, 1}, {1, 2}, {0, 2}, {0, 2}, {1, 2}}));
}

// Output 1 fails to switch off at the start, so asking for off again is sent.
TEST_F(CIOBaseTest, StartSwitchesEveryOutputOffAndRepeatedStatesAreDroppedButNotFailedOnes) {
    io.switchResults = {true, false};
    io.StartIO();
    ASSERT_TRUE(WaitUntil([&] { return io.Switched().size() == 2; }));
    EXPECT_TRUE(io.SetOutput(0, 1)) << "already off";
    EXPECT_TRUE(io.SetOutput(5, 2)) << "queued; an unknown index is dropped by the worker";
    EXPECT_TRUE(io.SetOutput(1, 1));
    EXPECT_TRUE(io.SetOutput(1, 2));
    EXPECT_TRUE(io.SetOutput(1, 2));
    ASSERT_TRUE(WaitUntil([&] { return io.Switched().size() == 4; }));
    EXPECT_FALSE(WaitUntil([&] { return io.Switched().size() > 4; }, std::chrono::milliseconds(100)));
    io.StopIO();
    using Switches = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(io.Switched(), (Switches{{0, 1}, {1, 1}, {1, 1}, {1, 2}}));
    EXPECT_FALSE(io.SetOutput(0, 2)) << "the output thread is stopping";
    EXPECT_FALSE(io.SetCallback(nullptr));
}

using Style = CSonyAlarmOutputs::Style;

struct StyleCase {
    const char* answer;
    Style style;
    const char* onPath;  // output 0 switched on
    const char* offPath; // output 1 switched off
};

TEST(CSonyAlarmOutputs, StyleAndSwitchRequestsFollowTheAlarmOutAnswer) {
    const StyleCase cases[] = {
        {"AlarmOutFuncAo1=off&AlmModeAo1=alarm", CSonyAlarmOutputs::kStyleTrigger,
         "/command/trigger.cgi?Alarmout1=on", "/command/trigger.cgi?Alarmout2=off"},
        {"AlarmOutFunc=off&AoManualFunc=off&AoMode=manual", CSonyAlarmOutputs::kStyleSingle,
         "/command/main.cgi?trigger=alarmouton", "/command/main.cgi?trigger=alarmoutoff"},
        {"AlarmOut1Func=off&Ao1ManualFunc=off", CSonyAlarmOutputs::kStyleNumbered,
         "/command/main.cgi?trigger=alarmout1on", "/command/main.cgi?trigger=alarmout2off"},
        {"", CSonyAlarmOutputs::kStyleNumbered, "/command/main.cgi?trigger=alarmout1on",
         "/command/main.cgi?trigger=alarmout2off"},
        {"AlarmOutFuncAo1=on&AlarmOutFunc=on", CSonyAlarmOutputs::kStyleTrigger,
         "/command/trigger.cgi?Alarmout1=on", "/command/trigger.cgi?Alarmout2=off"},
    };
    for (const StyleCase& test : cases) {
        SCOPED_TRACE(test.answer);
        const Style style = CSonyAlarmOutputs::PickStyle(test.answer);
        EXPECT_EQ(style, test.style);
        EXPECT_EQ(CSonyAlarmOutputs::SwitchPath(style, 0, true), test.onPath);
        EXPECT_EQ(CSonyAlarmOutputs::SwitchPath(style, 1, false), test.offPath);
    }
}

struct CommandCase {
    const char* name;
    const char* answer;
    uint32_t outputs;
    const char* command;
};

TEST(CSonyAlarmOutputs, ConfigurationSendsOnlyKnownKeysWhoseValueDiffers) {
    const CommandCase cases[] = {
        {"single output, manual switch off", "AlarmOutFunc=off&AoManualFunc=off&AoMode=alarm", 1,
         "AlarmOutFunc=on&AoManualFunc=on"},
        {"single style names its keys once for every output", "AlarmOutFunc=off&AoMode=alarm", 2,
         "AlarmOutFunc=on&AoMode=manual"},
        {"numbered, no manual switch: the mode goes to manual",
         "AlarmOut1Func=off&Ao1Mode=alarm&AlarmOut2Func=on&Ao2Mode=manual", 2, "AlarmOut1Func=on&Ao1Mode=manual"},
        {"numbered, manual switch already on", "AlarmOut1Func=on&Ao1ManualFunc=on&Ao1Mode=alarm", 1, ""},
        {"unknown keys are not sent", "AlmAoNum=2&AlarmOut1Func=off&AlarmOut2Func=off", 2,
         "AlarmOut1Func=on&AlarmOut2Func=on"},
        {"trigger style", "AlarmOutFuncAo1=off&AlmModeAo1=timer&AlmPeriodAo1=always&AlmTriggerAo1=sensor", 1,
         "AlarmOutFuncAo1=on&AlmModeAo1=alarm&AlmTriggerAo1=cond1"},
        {"trigger style with a condition already", "AlarmOutFuncAo1=on&AlmModeAo1=alarm&AlmTriggerAo1=cond2", 1, ""},
        {"no outputs", "AlarmOutFunc=off", 0, ""},
    };
    for (const CommandCase& test : cases) {
        SCOPED_TRACE(test.name);
        const Style style = CSonyAlarmOutputs::PickStyle(test.answer);
        EXPECT_EQ(CSonyAlarmOutputs::ConfigurationCommand(test.answer, style, test.outputs), test.command);
    }
}

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

class CSonyDigitalIOTest : public SonyCameraTest {
protected:
    CSonyDigitalIOTest() {
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

    FakeIOCallback callback;
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
        const std::string last = expected.back(); // clang 14 cannot capture a structured binding
        ASSERT_TRUE(WaitUntil([&] { return camera.CountOf(last) >= 1; }));
        io->StopIO();
        EXPECT_EQ(camera.Targets(), expected);
    }
}

TEST_F(CSonyDigitalIOTest, RefusedSwitchFailsAndIsLoggedOnceWithItsCause) {
    camera.Answer("/command/trigger.cgi?Alarmout1=off", {500, ""});
    camera.Answer("/command/inquiry.cgi?inq=alarmout", {200, "AlarmOutFuncAo1=on&AlmModeAo1=alarm"});
    MakeIO(0, 1).StartIO();
    ASSERT_TRUE(WaitUntil([&] { return callback.Failures() == 1; }));
    io->SetOutput(0, 1);
    ASSERT_TRUE(WaitUntil([&] { return callback.Failures() == 2; }));
    io->StopIO();
    EXPECT_EQ(CountLines(driver, "HTTP status code is 500"), 1u);
    EXPECT_EQ(CountLines(driver, "admin:admin"), 0u) << "no credentials in the log";
}

TEST_F(CSonyDigitalIOTest, StopEndsARequestTheCameraHolds) {
    camera.Hold("/command/inquiry.cgi?inq=sensor");
    MakeIO(1, 0).StartIO();
    ASSERT_TRUE(WaitUntil([&] { return camera.CountOf("/command/inquiry.cgi?inq=sensor") >= 1; }));
    const auto begin = std::chrono::steady_clock::now();
    io->StopIO();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_EQ(callback.Failures(), 0) << "a stopped poll is no camera failure";
}

constexpr const char* kMdAlarmData = "/command/motiondetection.cgi?MdAlarmData=on";
constexpr const char* kAlarmData = "/command/system.cgi?AlarmData=on";
constexpr const char* kAlarmStream = "/command/alarmdata.cgi?interval=1";

class CSonyMotionChannelTest : public SonyCameraTest {
protected:
    CSonyMotionChannelTest() {
        driver.m_allocator = &allocator;
        camera.Answer(kAlarmStream, {200, "--alarm\r\n\r\nMdWin3=1\r\n--alarm\r\n\r\nMdWin3=0\r\n"});
    }
    ~CSonyMotionChannelTest() override { channel.Stop(); }

    test::FakeFrameAllocator allocator;
    test::FakeChannelSink sink;
    CSonyMotionChannel channel{0, &driver, &sink};
};

// The requests that open the alarm stream, by generation; the stream's first
// record reaches the host as an edge.
TEST_F(CSonyMotionChannelTest, EachGenerationOpensTheAlarmStreamInItsWay) {
    const std::pair<uint32_t, std::vector<std::string>> cases[] = {
        {6, {kAlarmData, kAlarmStream}},
        {5, {kMdAlarmData, kAlarmData, kAlarmStream}},
    };
    for (const auto& [generation, opening] : cases) {
        SCOPED_TRACE("generation " + std::to_string(generation));
        driver.GetDeviceInfo()->generation = generation;
        camera.ClearTargets();
        test::FakeChannelSink host;
        CSonyMotionChannel opened(0, &driver, &host);
        ASSERT_TRUE(opened.Start());
        ASSERT_TRUE(WaitUntil([&] { return host.FrameCount() >= 2; }));
        opened.Stop();
        const std::vector<std::string> targets = camera.Targets();
        ASSERT_GE(targets.size(), opening.size());
        EXPECT_EQ(std::vector<std::string>(targets.begin(), targets.begin() + opening.size()), opening);
    }
}

TEST_F(CSonyMotionChannelTest, AStreamThatEndsIsOpenedAgainAfterAPause) {
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 2; }));
    channel.Stop();
    EXPECT_EQ(CountLines(driver, "ended; it is opened again"), 1u) << "once, however often it ends";
}

TEST_F(CSonyMotionChannelTest, RefusedSwitchIsRetriedAndLoggedOnceWithItsCause) {
    driver.GetDeviceInfo()->generation = 4;
    camera.Answer(kMdAlarmData, {404, ""});
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(WaitUntil([&] { return camera.CountOf(kMdAlarmData) >= 2; }));
    channel.Stop();
    EXPECT_EQ(camera.CountOf(kAlarmData), 0u);
    EXPECT_EQ(camera.CountOf(kAlarmStream), 0u);
    EXPECT_EQ(CountLines(driver, "Motion detection of device 127.0.0.1"), 1u);
    EXPECT_EQ(CountLines(driver, "was not found"), 1u);
    EXPECT_EQ(sink.FrameCount(), 0u);
}

TEST_F(CSonyMotionChannelTest, AHostSinkThatThrowsIsLoggedAndTheWorkerGoesOn) {
    sink.throwOnFrame = true;
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 2; }));
    channel.Stop();
    EXPECT_GE(CountLines(driver, "Unhandled exception during \"Motion detection\""), 1u);
    EXPECT_EQ(allocator.released, allocator.allocated) << "every frame goes back to the host";
}

TEST_F(CSonyMotionChannelTest, StopEndsAStreamTheCameraHolds) {
    camera.Hold(kAlarmStream);
    ASSERT_TRUE(channel.Start());
    ASSERT_TRUE(WaitUntil([&] { return camera.CountOf(kAlarmStream) >= 1; }));
    const auto begin = std::chrono::steady_clock::now();
    channel.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_EQ(CountLines(driver, "does not work"), 0u) << "a stop is no camera failure";
}

} // namespace
} // namespace talvex

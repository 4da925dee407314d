#include "events/CIOBase.h"

#include "support/FakeDriver.h"
#include "support/WaitUntil.h"
#include "unit/events/FakeIOCallback.h"

#include <gtest/gtest.h>

#include <deque>

namespace talvex {
namespace {

constexpr const char* kInputFailure = "method failed! Device 10.0.0.9:8080";
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
    test::FakeIOCallback callback;
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
        EXPECT_EQ(Count(kInputFailure), polled[poll]) << "after poll " << poll;
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

TEST_F(CIOBaseTest, StartSwitchesEveryOutputOffAndRepeatedStatesAreDropped) {
    io.StartIO();
    ASSERT_TRUE(test::WaitUntil([&] { return io.Switched().size() == 2; }));
    EXPECT_TRUE(io.SetOutput(0, 1)) << "already off";
    EXPECT_TRUE(io.SetOutput(5, 2)) << "queued; an unknown index is dropped by the worker";
    EXPECT_TRUE(io.SetOutput(1, 2));
    EXPECT_TRUE(io.SetOutput(1, 2));
    ASSERT_TRUE(test::WaitUntil([&] { return io.Switched().size() == 3; }));
    EXPECT_FALSE(test::WaitUntil([&] { return io.Switched().size() > 3; }, std::chrono::milliseconds(100)));
    io.StopIO();
    using Switches = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(io.Switched(), (Switches{{0, 1}, {1, 1}, {1, 2}}));
    EXPECT_FALSE(io.SetOutput(0, 2)) << "the output thread is stopping";
    EXPECT_FALSE(io.SetCallback(nullptr));
}

TEST_F(CIOBaseTest, AFailedChangeIsTriedAgainWhenAskedAgain) {
    io.switchResults = {false};
    io.StartIO();
    ASSERT_TRUE(test::WaitUntil([&] { return io.Switched().size() == 2; }));
    io.SetOutput(0, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return io.Switched().size() == 3; }));
    io.StopIO();
}

} // namespace
} // namespace talvex

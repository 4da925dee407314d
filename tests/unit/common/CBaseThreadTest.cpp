#include "common/CBaseThread.h"

#include "support/FakeDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <pthread.h>
#include <regex>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;

// Runs a body that the test supplies; stops itself in its destructor.
class TestThread : public CBaseThread {
public:
    explicit TestThread(IDriver* owner, std::function<void(TestThread&)> body = {})
        : CBaseThread(owner), m_body(std::move(body)) {}
    ~TestThread() override { StopThread(5432); }

    std::atomic<int> runs{0};

protected:
    void Run() override {
        ++runs;
        if (m_body)
            m_body(*this);
        else
            GetStopEvent().Wait(CEvent::kInfinite);
    }

private:
    std::function<void(TestThread&)> m_body;
};

TEST(CBaseThread, StartRunsOnceJoinsSilentlyAndRestarts) {
    test::FakeDriver driver;
    TestThread thread(&driver);
    EXPECT_TRUE(thread.JoinThread(0)); // no thread yet
    EXPECT_FALSE(thread.IsRunning());
    ASSERT_TRUE(thread.StartThread("worker"));
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_NE(thread.GetThreadId(), 0u);
    EXPECT_FALSE(thread.StartThread("second"));
    EXPECT_EQ(thread.GetName(), "worker");
    EXPECT_TRUE(thread.JoinThread(5000));
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.runs.load(), 1);
    ASSERT_TRUE(thread.StartThread("again")); // the stop event is reset
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_TRUE(thread.StopThread(5000));
    EXPECT_TRUE(thread.GetStopEvent().Wait(0));
    EXPECT_EQ(thread.runs.load(), 2);
    EXPECT_TRUE(driver.Lines().empty()); // ended within the time-out: no log line
}

TEST(CBaseThread, SetsTheOsThreadName) {
    std::string seen;
    TestThread thread(nullptr, [&](TestThread&) {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        seen = name;
    });
    ASSERT_TRUE(thread.StartThread("a-rather-long-thread-name"));
    ASSERT_TRUE(thread.JoinThread(5000));
    EXPECT_EQ(seen, "a-rather-long-t");
}

// A body that ignores the stop event for a while.
std::function<void(TestThread&)> Linger(std::chrono::milliseconds duration) {
    return [duration](TestThread&) { std::this_thread::sleep_for(duration); };
}

// A thread that outlives the wait: a warning naming it, the device and the wait, then the line of its end.
struct LingerCase {
    const char* name;
    bool stop; // StopThread, else JoinThread
    uint32_t waitMs;
    const char* warning;
};

void PrintTo(const LingerCase& c, std::ostream* out) { *out << c.name; }

class CBaseThreadLinger : public ::testing::TestWithParam<LingerCase> {};

TEST_P(CBaseThreadLinger, LogsNotStoppedThenStoppedCorrectly) {
    const LingerCase& c = GetParam();
    test::FakeDriver driver("10.1.2.3", 8080);
    TestThread thread(&driver, Linger(150ms));
    ASSERT_TRUE(thread.StartThread("slow"));
    const uint32_t id = thread.GetThreadId();
    EXPECT_TRUE(c.stop ? thread.StopThread(c.waitMs) : thread.JoinThread(c.waitMs));
    EXPECT_FALSE(thread.IsRunning());
    const auto lines = driver.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, 2u);
    const std::string named = "(id=" + std::to_string(id) + ", name=\"slow\")";
    EXPECT_NE(lines[0].text.find(named + " for device 10.1.2.3:8080 was not stopped during " + c.warning),
              std::string::npos) << lines[0].text;
    EXPECT_EQ(lines[1].level, 3u);
    std::smatch match;
    const std::regex stopped(", name=\"slow\"\\) was stopped correctly after ([0-9]+) milliseconds");
    ASSERT_TRUE(std::regex_search(lines[1].text, match, stopped)) << lines[1].text;
    EXPECT_GE(std::stoul(match[1]), 100u);
    TestThread quiet(nullptr, Linger(50ms)); // a null owner logs nothing
    ASSERT_TRUE(quiet.StartThread("quiet"));
    EXPECT_TRUE(c.stop ? quiet.StopThread(c.waitMs) : quiet.JoinThread(c.waitMs));
}

INSTANTIATE_TEST_SUITE_P(Waits, CBaseThreadLinger,
                         ::testing::Values(LingerCase{"JoinZero", false, 0, "0 milliseconds"},
                                           LingerCase{"StopTerminates", true, 20, "20 milliseconds and will be terminated"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CBaseThread, JoinOnTheWorkerItselfOnlySignalsStop) {
    test::FakeDriver driver;
    std::atomic<int> joinResult{-1}, stopResult{-1};
    TestThread thread(&driver, [&](TestThread& self) {
        joinResult = self.JoinThread(1000) ? 1 : 0;
        stopResult = self.StopThread(1000) ? 1 : 0;
    });
    ASSERT_TRUE(thread.StartThread("self"));
    EXPECT_TRUE(thread.GetStopEvent().Wait(5000));
    EXPECT_TRUE(thread.JoinThread(5000));
    EXPECT_EQ(joinResult.load(), 0);
    EXPECT_EQ(stopResult.load(), 0);
    EXPECT_TRUE(driver.Lines().empty());
}

TEST(CBaseThread, ExceptionFromRunEndsTheThreadWithALogLine) {
    test::FakeDriver driver;
    TestThread thread(&driver, [](TestThread&) { throw std::runtime_error("boom"); });
    ASSERT_TRUE(thread.StartThread("thrower"));
    EXPECT_TRUE(thread.JoinThread(5000));
    const auto lines = driver.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 1u);
    EXPECT_NE(lines[0].text.find("boom"), std::string::npos);
}

} // namespace
} // namespace talvex

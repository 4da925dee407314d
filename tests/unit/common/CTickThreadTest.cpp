#include "common/CTickThread.h"

#include "support/FakeDriver.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace talvex {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

struct Counter {
    std::atomic<int> ticks{0};
    void Tick() { ++ticks; }
    void Throw() {
        ++ticks;
        throw std::runtime_error("tick failed");
    }
};

// The stop event ends the period wait at once; a thread without target only waits.
TEST(CTickThread, FirstTickAtOnceOnlyWithTheImmediateFlag) {
    for (bool immediate : {true, false}) {
        Counter counter;
        TTickThread<Counter> thread(nullptr, 60000, &counter, &Counter::Tick);
        ASSERT_TRUE(thread.Start("tick", immediate));
        EXPECT_EQ(WaitUntil([&] { return counter.ticks.load() == 1; }, immediate ? 5000ms : 100ms), immediate);
        EXPECT_TRUE(thread.StopThread(5000));
        EXPECT_EQ(counter.ticks.load(), immediate ? 1 : 0);
    }
    TTickThread<Counter> idle(nullptr, 5);
    ASSERT_TRUE(idle.Start("idle", true));
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(idle.StopThread(5000));
}

TEST(CTickThread, TicksEveryPeriod) {
    Counter counter;
    TTickThread<Counter> thread(nullptr, 20, &counter, &Counter::Tick);
    ASSERT_TRUE(thread.Start("tick", false));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(thread.StopThread(5000));
    // Nominally 15 ticks; generous bounds for a loaded machine.
    EXPECT_GE(counter.ticks.load(), 3);
    EXPECT_LE(counter.ticks.load(), 16);
}

TEST(CTickThread, FailingTickIsLoggedAndTicksContinue) {
    test::FakeDriver driver;
    Counter counter;
    TTickThread<Counter> thread(&driver, 5, &counter, &Counter::Throw);
    ASSERT_TRUE(thread.Start("throwing", true));
    EXPECT_TRUE(WaitUntil([&] { return counter.ticks.load() >= 3; }));
    EXPECT_TRUE(thread.StopThread(5000));
    const auto lines = driver.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].level, 1u);
    EXPECT_NE(lines[0].text.find("tick failed"), std::string::npos);
}

} // namespace
} // namespace talvex

#include "common/CEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace talvex {
namespace {

using namespace std::chrono_literals;

TEST(CEvent, ManualResetStaysSignalledUntilReset) {
    CManualEvent event;
    EXPECT_TRUE(event.IsManualReset());
    EXPECT_FALSE(event.Wait(0));
    EXPECT_TRUE(event.Set());
    EXPECT_TRUE(event.Set()); // repeated sets need one reset
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Reset());
    EXPECT_FALSE(event.Wait(0));
}

TEST(CEvent, AutoResetIsConsumedByOneWaitAndWaitTimesOut) {
    CEvent event(false);
    event.Set();
    event.Set(); // a second Set before any wait does not store a second signal
    EXPECT_TRUE(event.Wait(0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
}

// Two waiters, one Set: exactly one wakes; a second Set wakes the other.
TEST(CEvent, AutoResetWakesOneWaiter) {
    CEvent event(false);
    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (event.Wait(5000))
            ++woken;
    };
    std::thread first(waiter), second(waiter);
    std::this_thread::sleep_for(50ms);
    event.Set();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(woken.load(), 1);
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(woken.load(), 2);
}

TEST(CEvent, ManualResetSetsFromAnotherThreadAreNeverLostAfterAReset) {
    // Ping-pong: each round resets, lets the other thread set, and must see the set.
    CManualEvent event;
    std::atomic<int> round{0};
    constexpr int kRounds = 5000;
    std::thread setter([&] {
        for (int expected = 1; expected <= kRounds; ++expected) {
            while (round.load() < expected)
                std::this_thread::yield();
            event.Set();
            event.Set(); // a second set of a signalled event must change nothing
        }
    });
    int seen = 0;
    for (int i = 1; i <= kRounds; ++i) {
        event.Reset();
        round = i;
        if (event.Wait(2000))
            ++seen;
    }
    setter.join();
    EXPECT_EQ(seen, kRounds);
}

TEST(CEvent, WaitAnyReturnsTheLowestSignalledIndex) {
    std::vector<std::unique_ptr<CEvent>> owned; // more events than fit on the stack
    std::vector<CEvent*> events;
    for (int i = 0; i < 12; ++i) {
        owned.push_back(std::make_unique<CEvent>(i == 0));
        events.push_back(owned.back().get());
    }
    const uint32_t count = uint32_t(events.size());
    events[10]->Set();
    EXPECT_EQ(CEvent::WaitAny(events.data(), count, 1000), 10);
    EXPECT_EQ(CEvent::WaitAny(events.data(), count, 30), -1); // consumed
    events[0]->Set();
    events[1]->Set();
    EXPECT_EQ(CEvent::WaitAny(events.data(), count, 0), 0);
    EXPECT_EQ(CEvent::WaitAny(nullptr, 1, 0), -1);
    EXPECT_EQ(CEvent::WaitAny(events.data(), 0, 0), -1);
    events[2] = nullptr;
    EXPECT_EQ(CEvent::WaitAny(events.data(), 3, 0), -1);
}

TEST(CEvent, WaitForFdReportsTimeOutStopReadyAndHangUp) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    CManualEvent stop;
    EXPECT_EQ(CEvent::WaitForFd(fds[0], POLLIN, stop, 30), -1);
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        stop.Set();
    });
    EXPECT_EQ(CEvent::WaitForFd(fds[0], POLLIN, stop, 10000), 0);
    stopper.join();
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    EXPECT_EQ(CEvent::WaitForFd(fds[0], POLLIN, stop, 1000), 0); // stop comes first
    EXPECT_EQ(CEvent::WaitForFd(-1, POLLIN, stop, 0), -1);
    stop.Reset();
    EXPECT_EQ(CEvent::WaitForFd(fds[0], POLLIN, stop, 1000), 1);
    char byte;
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);
    ::close(fds[1]);
    EXPECT_EQ(CEvent::WaitForFd(fds[0], POLLIN, stop, 1000), 1); // hang-up
    ::close(fds[0]);
}

} // namespace
} // namespace talvex

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
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Reset());
    EXPECT_FALSE(event.Wait(0));
}

TEST(CEvent, AutoResetIsConsumedByOneWait) {
    CEvent event(false);
    event.Set();
    event.Set(); // a second Set before any wait does not store a second signal
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(CEvent, WaitTimesOut) {
    CEvent event(false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
}

TEST(CEvent, WaitWakesWhenSetFromAnotherThread) {
    CEvent event(false);
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.Set();
    });
    EXPECT_TRUE(event.Wait(10000));
    setter.join();
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

TEST(CEvent, WaitAnyReturnsIndexOfSignalledEvent) {
    CManualEvent stop;
    CEvent item(false);
    CEvent* events[] = {&stop, &item};
    item.Set();
    EXPECT_EQ(CEvent::WaitAny(events, 2, 0), 1);
    EXPECT_EQ(CEvent::WaitAny(events, 2, 0), -1); // consumed
    stop.Set();
    item.Set();
    EXPECT_EQ(CEvent::WaitAny(events, 2, 0), 0); // the lower index wins
}

TEST(CEvent, ManualResetRepeatedSetsNeedOneResetAndSetAfterResetSignalsAgain) {
    CManualEvent event;
    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
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

TEST(CEvent, WaitAnyTakesMoreEventsThanFitOnTheStack) {
    std::vector<std::unique_ptr<CEvent>> owned;
    std::vector<CEvent*> events;
    for (int i = 0; i < 12; ++i) {
        owned.push_back(std::make_unique<CEvent>(false));
        events.push_back(owned.back().get());
    }
    events[10]->Set();
    EXPECT_EQ(CEvent::WaitAny(events.data(), uint32_t(events.size()), 1000), 10);
    EXPECT_EQ(CEvent::WaitAny(events.data(), uint32_t(events.size()), 0), -1);
}

TEST(CEvent, WaitAnyTimeOutAndBadArguments) {
    CEvent event(false);
    CEvent* events[] = {&event};
    EXPECT_EQ(CEvent::WaitAny(events, 1, 30), -1);
    EXPECT_EQ(CEvent::WaitAny(nullptr, 1, 0), -1);
    EXPECT_EQ(CEvent::WaitAny(events, 0, 0), -1);
    CEvent* withNull[] = {&event, nullptr};
    event.Set();
    EXPECT_EQ(CEvent::WaitAny(withNull, 2, 0), -1);
}

class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(m_fds), 0); }
    ~Pipe() {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    int ReadEnd() const { return m_fds[0]; }
    int WriteEnd() const { return m_fds[1]; }

private:
    int m_fds[2] = {-1, -1};
};

TEST(CEvent, WaitForFdReportsReadyStopAndTimeOut) {
    Pipe pipe;
    CManualEvent stop;
    EXPECT_EQ(CEvent::WaitForFd(pipe.ReadEnd(), POLLIN, stop, 30), -1);
    ASSERT_EQ(::write(pipe.WriteEnd(), "x", 1), 1);
    EXPECT_EQ(CEvent::WaitForFd(pipe.ReadEnd(), POLLIN, stop, 1000), 1);
    stop.Set();
    EXPECT_EQ(CEvent::WaitForFd(pipe.ReadEnd(), POLLIN, stop, 1000), 0); // stop comes first
    EXPECT_EQ(CEvent::WaitForFd(-1, POLLIN, stop, 0), -1);
}

TEST(CEvent, WaitForFdWakesOnStopFromAnotherThread) {
    Pipe pipe;
    CManualEvent stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        stop.Set();
    });
    EXPECT_EQ(CEvent::WaitForFd(pipe.ReadEnd(), POLLIN, stop, 10000), 0);
    stopper.join();
}

TEST(CEvent, WaitForFdReportsHangUpAsReady) {
    CManualEvent stop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[1]);
    EXPECT_EQ(CEvent::WaitForFd(fds[0], POLLIN, stop, 1000), 1);
    ::close(fds[0]);
}

} // namespace
} // namespace talvex

#include "common/TSmartPtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace talvex {
namespace {

struct Tracked {
    explicit Tracked(std::atomic<int>& destroyed_) : destroyed(destroyed_) {}
    ~Tracked() { ++destroyed; }
    std::atomic<int>& destroyed;
    int value = 42;
};

TEST(TSmartPtr, CopiesShareAndTheLastReleaseDestroys) {
    std::atomic<int> destroyed{0};
    TSmartPtr<Tracked> first(new Tracked(destroyed));
    EXPECT_EQ(first.UseCount(), 1);
    {
        TSmartPtr<Tracked> second(first);
        EXPECT_EQ(second.Get(), first.Get());
        EXPECT_EQ(first.UseCount(), 2);
        EXPECT_EQ(second->value, 42);
    }
    EXPECT_EQ(first.UseCount(), 1);
    EXPECT_EQ(destroyed.load(), 0);
    first.Release();
    EXPECT_FALSE(first);
    EXPECT_EQ(destroyed.load(), 1);
    first.Release(); // releasing an empty reference does nothing
    EXPECT_EQ(destroyed.load(), 1);
    TSmartPtr<Tracked> none, fromNull(nullptr), copy(fromNull);
    EXPECT_FALSE(none || fromNull || copy);
    EXPECT_EQ(none.UseCount(), 0);
}

TEST(TSmartPtr, CountStopsAt127) {
    std::atomic<int> destroyed{0};
    TSmartPtr<Tracked> owner(new Tracked(destroyed));
    std::vector<TSmartPtr<Tracked>> copies;
    for (int i = 0; i < 126; ++i) {
        copies.emplace_back(owner);
        ASSERT_TRUE(copies.back());
    }
    EXPECT_EQ(owner.UseCount(), 127);
    TSmartPtr<Tracked> refused(owner);
    EXPECT_FALSE(refused);
    EXPECT_EQ(owner.UseCount(), 127);
    copies.clear();
    EXPECT_EQ(owner.UseCount(), 1);
    TSmartPtr<Tracked> again(owner);
    EXPECT_TRUE(again);
    EXPECT_EQ(destroyed.load(), 0);
}

TEST(TSmartPtr, AssignmentAndMove) {
    std::atomic<int> destroyed{0};
    TSmartPtr<Tracked> a(new Tracked(destroyed));
    TSmartPtr<Tracked> b(new Tracked(destroyed));
    b = a; // b's old object goes
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_EQ(a.UseCount(), 2);
    const TSmartPtr<Tracked>& self = b;
    b = self;
    EXPECT_EQ(a.UseCount(), 2);
    TSmartPtr<Tracked> moved(std::move(b));
    EXPECT_FALSE(b);
    EXPECT_EQ(a.UseCount(), 2);
    a = std::move(moved);
    EXPECT_EQ(a.UseCount(), 1);
    EXPECT_EQ(destroyed.load(), 1);
    a = TSmartPtr<Tracked>();
    EXPECT_EQ(destroyed.load(), 2);
}

// Copies and releases of one object from several threads: with a plain count
// increments get lost, the count drifts and the object dies early or never.
TEST(TSmartPtr, ConcurrentCopiesAndReleasesKeepTheCount) {
    std::atomic<int> destroyed{0};
    TSmartPtr<Tracked> shared(new Tracked(destroyed));
    constexpr int kThreads = 4;
    constexpr int kRounds = 100000;
    std::vector<std::thread> threads;
    std::atomic<bool> go{false};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, mine = TSmartPtr<Tracked>(shared)]() {
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; i < kRounds; ++i) {
                TSmartPtr<Tracked> copy(mine);
                ASSERT_TRUE(copy);
                ASSERT_EQ(copy->value, 42);
            }
        });
    }
    go = true;
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(shared.UseCount(), 1);
    EXPECT_EQ(destroyed.load(), 0);
    shared.Release();
    EXPECT_EQ(destroyed.load(), 1);
}

} // namespace
} // namespace talvex

#include "common/CQueueThread.h"

#include "support/FakeDriver.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace talvex {
namespace {

using test::WaitUntil;

struct Item {
    Item(int value_, std::atomic<int>& deleted_) : value(value_), deleted(deleted_) {}
    ~Item() { ++deleted; }
    int value;
    std::atomic<int>& deleted;
};

// Records processed values; a negative value throws, zero blocks until stopped.
class RecordingQueue : public CQueueThread<Item> {
public:
    explicit RecordingQueue(IDriver* owner) : CQueueThread<Item>(owner) {}
    ~RecordingQueue() override { JoinThread(5000); }

    std::vector<int> Processed() {
        std::lock_guard lock(m_mutex);
        return m_processed;
    }

protected:
    void ProcessItem(Item* item) override {
        {
            std::lock_guard lock(m_mutex);
            m_processed.push_back(item->value);
        }
        if (item->value < 0)
            throw std::runtime_error("bad item");
        if (item->value == 0)
            GetStopEvent().Wait(CEvent::kInfinite);
    }

private:
    std::mutex m_mutex;
    std::vector<int> m_processed;
};

class CQueueThreadTest : public ::testing::Test {
protected:
    Item* NewItem(int value) { return new Item(value, deleted); }

    test::FakeDriver driver;
    std::atomic<int> deleted{0}; // outlives the queue, whose destructor deletes items
    RecordingQueue queue{&driver};
};

// A throwing item is deleted with one log line and the items after it are processed.
TEST_F(CQueueThreadTest, ProcessesItemsInOrderAndDeletesThem) {
    ASSERT_TRUE(queue.Start("queue"));
    std::vector<int> expected;
    for (int i = -1; i <= 200; i += (i == -1 ? 2 : 1)) {
        EXPECT_TRUE(queue.Push(NewItem(i)));
        expected.push_back(i);
    }
    EXPECT_TRUE(WaitUntil([&] { return deleted.load() == 201; }));
    EXPECT_EQ(queue.Processed(), expected);
    EXPECT_TRUE(queue.IsRunning());
    EXPECT_TRUE(queue.Stop(5000));
    const auto lines = driver.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 1u);
    EXPECT_NE(lines[0].text.find("bad item"), std::string::npos);
}

TEST_F(CQueueThreadTest, PushAfterStopDeletesTheItemAndARestartAcceptsAgain) {
    ASSERT_TRUE(queue.Start("queue"));
    EXPECT_TRUE(queue.Stop(5000));
    EXPECT_FALSE(queue.Push(NewItem(7)));
    EXPECT_EQ(deleted.load(), 1);
    EXPECT_EQ(queue.QueuedCount(), 0u);
    EXPECT_FALSE(queue.Push(nullptr));
    ASSERT_TRUE(queue.Start("queue"));
    EXPECT_TRUE(queue.Push(NewItem(3)));
    EXPECT_TRUE(WaitUntil([&] { return deleted.load() == 2; }));
    EXPECT_EQ(queue.Processed(), std::vector<int>{3});
}

TEST_F(CQueueThreadTest, StopDropsQueuedItems) {
    ASSERT_TRUE(queue.Start("queue"));
    queue.Push(NewItem(0)); // blocks the worker until the stop
    ASSERT_TRUE(WaitUntil([&] { return queue.Processed().size() == 1; }));
    for (int i = 1; i <= 5; ++i)
        queue.Push(NewItem(i));
    EXPECT_TRUE(queue.Stop(5000));
    EXPECT_EQ(deleted.load(), 6);
    EXPECT_EQ(queue.Processed(), std::vector<int>{0});
}

TEST_F(CQueueThreadTest, DestructorFreesItemsNeverProcessed) {
    {
        RecordingQueue unstarted(nullptr);
        unstarted.Push(NewItem(1));
        unstarted.Push(NewItem(2));
        EXPECT_EQ(unstarted.QueuedCount(), 2u);
    }
    EXPECT_EQ(deleted.load(), 2);
}

} // namespace
} // namespace talvex

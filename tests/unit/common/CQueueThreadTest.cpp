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

// A throwing item is deleted with one log line and the items after it are processed.
TEST(CQueueThread, ProcessesItemsInOrderAndDeletesThem) {
    test::FakeDriver driver;
    std::atomic<int> deleted{0};
    RecordingQueue queue(&driver);
    ASSERT_TRUE(queue.Start("queue"));
    std::vector<int> expected;
    for (int i = -1; i <= 200; i += (i == -1 ? 2 : 1)) {
        EXPECT_TRUE(queue.Push(new Item(i, deleted)));
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

TEST(CQueueThread, PushAfterStopDeletesTheItemAndARestartAcceptsAgain) {
    std::atomic<int> deleted{0};
    RecordingQueue queue(nullptr);
    ASSERT_TRUE(queue.Start("queue"));
    EXPECT_TRUE(queue.Stop(5000));
    EXPECT_FALSE(queue.Push(new Item(7, deleted)));
    EXPECT_EQ(deleted.load(), 1);
    EXPECT_EQ(queue.QueuedCount(), 0u);
    EXPECT_FALSE(queue.Push(nullptr));
    ASSERT_TRUE(queue.Start("queue"));
    EXPECT_TRUE(queue.Push(new Item(3, deleted)));
    EXPECT_TRUE(WaitUntil([&] { return deleted.load() == 2; }));
    EXPECT_EQ(queue.Processed(), std::vector<int>{3});
}

TEST(CQueueThread, StopDropsQueuedItems) {
    std::atomic<int> deleted{0};
    RecordingQueue queue(nullptr);
    ASSERT_TRUE(queue.Start("queue"));
    queue.Push(new Item(0, deleted)); // blocks the worker until the stop
    ASSERT_TRUE(WaitUntil([&] { return queue.Processed().size() == 1; }));
    for (int i = 1; i <= 5; ++i)
        queue.Push(new Item(i, deleted));
    EXPECT_TRUE(queue.Stop(5000));
    EXPECT_EQ(deleted.load(), 6);
    EXPECT_EQ(queue.Processed(), std::vector<int>{0});
}

TEST(CQueueThread, DestructorFreesItemsNeverProcessed) {
    std::atomic<int> deleted{0};
    {
        RecordingQueue queue(nullptr);
        queue.Push(new Item(1, deleted));
        queue.Push(new Item(2, deleted));
        EXPECT_EQ(queue.QueuedCount(), 2u);
    }
    EXPECT_EQ(deleted.load(), 2);
}

} // namespace
} // namespace talvex

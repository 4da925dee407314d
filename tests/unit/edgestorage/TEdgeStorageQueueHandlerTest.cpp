#include "edgestorage/TEdgeStorageQueueHandler.h"

#include "support/FakeDriver.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <mutex>
#include <ostream>
#include <vector>

namespace talvex::test {
namespace {

class RecordingOwner {
public:
    void ProcessEdgeStorageTaskItem(const CEdgeStorageTaskItem& item) {
        std::lock_guard lock(mutex);
        begins.push_back(item.GetBegin());
    }
    std::vector<uint64_t> Begins() {
        std::lock_guard lock(mutex);
        return begins;
    }

    std::mutex mutex;
    std::vector<uint64_t> begins;
};

struct LimitCase {
    const char* name;
    size_t limit;
    uint64_t pushed;
    std::vector<uint64_t> processed;
};

void PrintTo(const LimitCase& value, std::ostream* out) { *out << value.name; }

class QueueLimit : public testing::TestWithParam<LimitCase> {};

TEST_P(QueueLimit, DropsTheOldestIntervalsBeyondTheLimit) {
    FakeDriver driver;
    RecordingOwner owner;
    TEdgeStorageQueueHandler<RecordingOwner> queue(owner, &driver);
    for (uint64_t begin = 1; begin <= GetParam().pushed; ++begin) {
        size_t dropped = 0;
        ASSERT_TRUE(queue.PushLimited(CEdgeStorageTaskItem::Make(0, begin, 100), GetParam().limit, dropped));
    }
    ASSERT_TRUE(queue.Start("edge queue test"));
    ASSERT_TRUE(WaitUntil([&] { return owner.Begins().size() == GetParam().processed.size(); }));
    EXPECT_EQ(owner.Begins(), GetParam().processed);
}

INSTANTIATE_TEST_SUITE_P(
    Pushes, QueueLimit,
    testing::Values(LimitCase{"BelowTheLimit", 10, 3, {1, 2, 3}},
                    LimitCase{"EleventhOfTen", 10, 11, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
                    LimitCase{"LimitOne", 1, 3, {3}},
                    LimitCase{"NoLimit", 0, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}),
    [](const testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

} // namespace
} // namespace talvex::test

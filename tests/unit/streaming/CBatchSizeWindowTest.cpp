#include "streaming/CBatchSizeWindow.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

constexpr uint64_t kStartMs = 5'000'000;
constexpr uint64_t kWindowMs = CBatchSizeWindow::WINDOW_MS;

// Twice the largest batch of the current or the previous window is kept; a
// window ends exactly WINDOW_MS after it began, and a batch exactly two
// windows after the last one forgets both.
TEST(BatchSizeWindowTest, KeepsTwiceTheLargestRecentBatchWithExactWindowEdges) {
    CBatchSizeWindow window;
    EXPECT_EQ(window.KeptEntries(), 0u);
    window.Note(10, kStartMs);
    window.Note(40, kStartMs + 100);
    window.Note(5, kStartMs + 200);
    EXPECT_EQ(window.KeptEntries(), 80u);

    CBatchSizeWindow rolled;
    rolled.Note(2250, kStartMs);
    rolled.Note(3, kStartMs + kWindowMs);         // opens the second window
    rolled.Note(3, kStartMs + 2 * kWindowMs - 1); // still the second
    rolled.Note(3, kStartMs + 3 * kWindowMs - 1); // opens the third: the burst's is gone
    EXPECT_EQ(rolled.KeptEntries(), 6u) << "a window rolled only after WINDOW_MS had passed";

    CBatchSizeWindow justBefore;
    justBefore.Note(2250, kStartMs);
    justBefore.Note(3, kStartMs + 2 * kWindowMs - 1);
    EXPECT_EQ(justBefore.KeptEntries(), 4500u);
    CBatchSizeWindow skipped;
    skipped.Note(2250, kStartMs);
    skipped.Note(3, kStartMs + 2 * kWindowMs);
    EXPECT_EQ(skipped.KeptEntries(), 6u) << "a whole window without a batch kept the one before";
}

} // namespace
} // namespace talvex

#include "StreamStatistics.h"

#include <gtest/gtest.h>

namespace fennwick_host {
namespace {

// 2026-12-06 08:00:00.000 UTC as a file time.
constexpr uint64_t kMorning = 134410176000000000ULL;
constexpr uint64_t kMillisecond = 10000;

TEST(FormatFileTime, ShowsUtcWithMilliseconds) {
    EXPECT_EQ(FormatFileTime(kMorning), "2026-12-06 08:00:00.000 UTC");
    EXPECT_EQ(FormatFileTime(kMorning + 1234 * kMillisecond + 9999), "2026-12-06 08:00:01.234 UTC");
    EXPECT_EQ(FormatFileTime(116444736000000000ULL), "1970-01-01 00:00:00.000 UTC");
    EXPECT_EQ(FormatFileTime(0), "-");
    EXPECT_EQ(FormatFileTime(5), "before 1970 (5)");
}

TEST(StreamStatistics, FramesOutOfTimeOrderWidenTheSpan) {
    StreamStatistics statistics;
    statistics.AddFrame(kMorning + 1000 * kMillisecond, 10, true);
    statistics.AddFrame(kMorning, 10, false);
    statistics.AddFrame(kMorning + 500 * kMillisecond, 10, false);
    EXPECT_EQ(statistics.FirstTime(), kMorning);
    EXPECT_EQ(statistics.LastTime(), kMorning + 1000 * kMillisecond);
    EXPECT_NEAR(statistics.FramesPerSecond(), 2.0, 1e-9);
}

TEST(StreamStatistics, NoRatesWithoutATimeSpan) {
    StreamStatistics empty;
    EXPECT_EQ(empty.FramesPerSecond(), 0);
    EXPECT_EQ(empty.BitsPerSecond(), 0);
    EXPECT_EQ(empty.FirstTime(), 0u);

    StreamStatistics single;
    single.AddFrame(kMorning, 100, true);
    EXPECT_EQ(single.CoveredSeconds(), 0);
    EXPECT_EQ(single.FramesPerSecond(), 0);

    StreamStatistics sameTime;
    sameTime.AddFrame(kMorning, 100, true);
    sameTime.AddFrame(kMorning, 100, false);
    EXPECT_EQ(sameTime.BitsPerSecond(), 0);
}

} // namespace
} // namespace fennwick_host

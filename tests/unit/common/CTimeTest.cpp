#include "common/CTime.h"

#include "support/LocalZone.h"

#include <gtest/gtest.h>

#include <chrono>

namespace talvex {
namespace {

using test::LocalZone;

// 2021-03-04 05:06:07.089 UTC as a file time.
constexpr uint64_t kSample = CTime::kUnixEpochOffset + 1614834367ULL * 10000000ULL + 89ULL * 10000ULL + 1234;

// No time or an unconvertible one gives an empty text; early dates pad the year.
TEST(CTime, TextFormInLocalTime) {
    {
        LocalZone utc("UTC0");
        EXPECT_EQ(CTime(kSample).ToString(), "2021/03/04 05:06:07.089");
        EXPECT_EQ(CTime(1).ToString(), "1601/01/01 00:00:00.000");
    }
    LocalZone ahead("XYZ-2"); // two hours east of UTC
    EXPECT_EQ(CTime(kSample).ToString(), "2021/03/04 07:06:07.089");
    EXPECT_EQ(CTime().ToString(), "");
    EXPECT_EQ(CTime(0).ToString(), "");
    EXPECT_EQ(CTime(0x8000000000000000ULL).ToString(), "");
}

TEST(CTime, ElapsedMilliseconds) {
    EXPECT_EQ(CTime::ElapsedMs(CTime(10000), CTime(10000 + 25 * 10000 + 9999)), 25u);
    EXPECT_EQ(CTime::ElapsedMs(CTime(50000), CTime(50000)), 0u);
    EXPECT_EQ(CTime::ElapsedMs(CTime(50000), CTime(10000)), 0u);
}

TEST(CTime, SystemClockRoundTripAndNow) {
    const auto now = std::chrono::system_clock::now();
    const CTime time = CTime::FromSystemClock(now);
    EXPECT_GT(time.Value(), CTime::kUnixEpochOffset);
    const auto back = time.ToSystemClock();
    EXPECT_LT(std::chrono::abs(back - now), std::chrono::microseconds(1));
    EXPECT_EQ(CTime::FromSystemClock(std::chrono::system_clock::time_point{}).Value(), CTime::kUnixEpochOffset);
    EXPECT_GT(CTime(UINT64_MAX).ToSystemClock(), now); // the far future saturates
    EXPECT_LT(CTime(1).ToSystemClock(), std::chrono::system_clock::time_point{});
    const CTime current = CTime::Now();
    EXPECT_LE(time, current);
    EXPECT_LE(current, CTime::FromSystemClock(std::chrono::system_clock::now()));
}

} // namespace
} // namespace talvex

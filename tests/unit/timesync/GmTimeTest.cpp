#include "timesync/GmTime.h"

#include "support/LocalZone.h"

#include <gtest/gtest.h>

#include <chrono>

namespace talvex {
namespace {

CTime FromUnixSeconds(int64_t seconds) {
    return CTime::FromSystemClock(std::chrono::system_clock::time_point(std::chrono::seconds(seconds)));
}

struct ReadCase {
    const char* name;
    const char* value;
    int64_t unixSeconds; // -1: no time
};

class ReadGmTimeTest : public ::testing::TestWithParam<ReadCase> {
    test::LocalZone m_zone{"America/New_York"};
};

TEST_P(ReadGmTimeTest, ReadsTheValueAsUtc) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(ReadGmTime(c.value), c.unixSeconds < 0 ? CTime() : FromUnixSeconds(c.unixSeconds));
}

INSTANTIATE_TEST_SUITE_P(Values, ReadGmTimeTest,
                         ::testing::Values(ReadCase{"WithWeekday", "2612062105300", 1796591130},
                                           ReadCase{"WithoutWeekday", "261206210530", 1796591130},
                                           ReadCase{"FirstOfTheCentury", "0001010000000", 946684800},
                                           ReadCase{"LastOfTheCentury", "9912312359594", 4102444799},
                                           ReadCase{"Empty", "", -1},
                                           ReadCase{"ElevenDigits", "26120621053", -1},
                                           ReadCase{"Letter", "2612062105x0", -1},
                                           ReadCase{"Month13", "261306210530", -1},
                                           ReadCase{"February31", "260231120000", -1},
                                           ReadCase{"Hour24", "261206240000", -1},
                                           ReadCase{"Second60", "261206210560", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    int second; // of 2026-12-06 12:00
    const char* written;
};

class WriteGmTimeTest : public ::testing::TestWithParam<WriteCase> {
    test::LocalZone m_zone{"America/New_York"};
};

TEST_P(WriteGmTimeTest, AdvancesTwoSecondsOnlyWithinTheMinute) {
    EXPECT_EQ(WriteGmTime(FromUnixSeconds(1796558400 + GetParam().second)), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Seconds, WriteGmTimeTest,
                         ::testing::Values(WriteCase{"Second0", 0, "2612061200020"},
                                           WriteCase{"Second56", 56, "2612061200580"},
                                           WriteCase{"Second57", 57, "2612061200570"},
                                           WriteCase{"Second59", 59, "2612061200590"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

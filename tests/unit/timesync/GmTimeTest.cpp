#include "timesync/GmTime.h"

#include "support/LocalZone.h"

#include <gtest/gtest.h>

#include <ostream>

namespace talvex {
namespace {

CTime FromUnixSeconds(int64_t seconds) {
    return seconds < 0 ? CTime() : CTime(CTime::kUnixEpochOffset + uint64_t(seconds) * 10000000ULL);
}

// The camera's value and the time it stands for (-1: none); every row runs
// on a computer whose zone is not UTC.
struct GmTimeCase {
    const char* name;
    const char* value;
    int64_t unixSeconds;
};

void PrintTo(const GmTimeCase& value, std::ostream* out) { *out << value.name; }

class ReadGmTimeTest : public ::testing::TestWithParam<GmTimeCase> {
    test::LocalZone m_zone{"America/New_York"};
};
class WriteGmTimeTest : public ReadGmTimeTest {};

TEST_P(ReadGmTimeTest, ReadsTheValueAsUtc) {
    EXPECT_EQ(ReadGmTime(GetParam().value), FromUnixSeconds(GetParam().unixSeconds));
}

TEST_P(WriteGmTimeTest, AdvancesTwoSecondsOnlyWithinTheMinute) {
    EXPECT_EQ(WriteGmTime(FromUnixSeconds(GetParam().unixSeconds)), GetParam().value);
}

const auto kByName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(Values, ReadGmTimeTest,
                         ::testing::Values(GmTimeCase{"WithWeekday", "2612062105300", 1796591130},
                                           GmTimeCase{"WithoutWeekday", "261206210530", 1796591130},
                                           GmTimeCase{"ElevenDigits", "26120621053", -1},
                                           GmTimeCase{"Letter", "2612062105x0", -1},
                                           GmTimeCase{"February31", "260231120000", -1},
                                           GmTimeCase{"Hour24", "261206240000", -1}),
                         kByName);

// 2026-12-06 12:00:SS UTC.
INSTANTIATE_TEST_SUITE_P(Seconds, WriteGmTimeTest,
                         ::testing::Values(GmTimeCase{"Second0", "2612061200020", 1796558400},
                                           GmTimeCase{"Second56", "2612061200580", 1796558456},
                                           GmTimeCase{"Second57", "2612061200570", 1796558457},
                                           GmTimeCase{"Second59", "2612061200590", 1796558459}),
                         kByName);

} // namespace
} // namespace talvex

#include "common/Conversions.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace talvex {
namespace {

TEST(StringToUnsigned, AcceptsDigitsOnlyAndUpTo32Bits) {
    const std::pair<const char*, uint32_t> good[] = {{"0", 0u}, {"123", 123u}, {"007", 7u}, {"4294967295", 4294967295u}};
    for (const auto& [text, value] : good)
        EXPECT_EQ(StringToUnsigned(text), value) << text;
    for (const char* bad : {"", "12a", "-1", "+1", " 1", "1 ", "1.5", "0x10", "4294967296", "99999999999999999999999"})
        EXPECT_EQ(StringToUnsigned(bad), 0u) << bad;
}

TEST(ParseSignedDecimal, OptionalSignThenDigits) {
    const std::pair<const char*, int32_t> good[] = {{"25", 25}, {"+5", 5}, {"-40", -40}, {"-0", 0},
        {"2147483647", std::numeric_limits<int32_t>::max()}, {"-2147483648", std::numeric_limits<int32_t>::min()}};
    for (const auto& [text, value] : good)
        EXPECT_EQ(ParseSignedDecimal(text), value) << text;
    for (const char* bad : {"", "+", "-", "+-5", "--5", " 5", "5 ", "1.5", "1e3", "abc", "5x", "2147483648",
                            "-2147483649", "99999999999999999999999"})
        EXPECT_EQ(ParseSignedDecimal(bad), std::nullopt) << '"' << bad << '"';
}

// 400.00001 is exactly 400 in single precision: 1000/400 + 0.5 = 3, where the
// double rate would give 2.99999.. and truncate to 2. Meaningless rates give one second.
TEST(FrameRate, RateToInterval) {
    const std::pair<double, uint32_t> rows[] = {
        {0, 1000u}, {30, 33u}, {25, 40u}, {7.5, 133u}, {1, 1000u}, {0.5, 2000u}, {29.97, 33u}, {400.00001, 3u},
        {-5, 1000u}, {std::numeric_limits<double>::quiet_NaN(), 1000u}, {1e-30, std::numeric_limits<uint32_t>::max()},
    };
    for (const auto& [rate, interval] : rows)
        EXPECT_EQ(FrameRateToIntervalMs(rate), interval) << rate;
}

TEST(FrameRate, IntervalToRate) {
    const std::pair<uint32_t, uint32_t> rows[] = {{0, 1u},    {40, 25u},  {33, 30u},  {3, 333u},
                                                  {1000, 1u}, {2000, 1u}, {2001, 0u}};
    for (const auto& [interval, rate] : rows)
        EXPECT_EQ(IntervalMsToFrameRate(interval), rate) << interval;
}

} // namespace
} // namespace talvex

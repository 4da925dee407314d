#include "common/Conversions.h"

#include <gtest/gtest.h>

#include <limits>

namespace talvex {
namespace {

TEST(StringToUnsigned, AcceptsDigitsOnly) {
    EXPECT_EQ(StringToUnsigned("0"), 0u);
    EXPECT_EQ(StringToUnsigned("123"), 123u);
    EXPECT_EQ(StringToUnsigned("007"), 7u);
    EXPECT_EQ(StringToUnsigned("4294967295"), 4294967295u);
    for (const char* bad : {"", "12a", "-1", "+1", " 1", "1 ", "1.5", "0x10"})
        EXPECT_EQ(StringToUnsigned(bad), 0u) << bad;
}

TEST(StringToUnsigned, ValueBeyond32BitsGivesZero) {
    EXPECT_EQ(StringToUnsigned("4294967296"), 0u);
    EXPECT_EQ(StringToUnsigned("99999999999999999999999"), 0u);
}

TEST(ParseSignedDecimal, OptionalSignThenDigits) {
    EXPECT_EQ(ParseSignedDecimal("25"), 25);
    EXPECT_EQ(ParseSignedDecimal("+5"), 5);
    EXPECT_EQ(ParseSignedDecimal("-40"), -40);
    EXPECT_EQ(ParseSignedDecimal("-0"), 0);
    EXPECT_EQ(ParseSignedDecimal("2147483647"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseSignedDecimal("-2147483648"), std::numeric_limits<int32_t>::min());
}

TEST(ParseSignedDecimal, RejectsEverythingElse) {
    for (const char* bad : {"", "+", "-", "+-5", "--5", " 5", "5 ", "1.5", "1e3", "abc", "5x"})
        EXPECT_EQ(ParseSignedDecimal(bad), std::nullopt) << '"' << bad << '"';
}

TEST(ParseSignedDecimal, RejectsOverflow) {
    EXPECT_EQ(ParseSignedDecimal("2147483648"), std::nullopt);
    EXPECT_EQ(ParseSignedDecimal("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseSignedDecimal("99999999999999999999999"), std::nullopt);
}

TEST(FrameRate, RateToInterval) {
    EXPECT_EQ(FrameRateToIntervalMs(0), 1000u);
    EXPECT_EQ(FrameRateToIntervalMs(30), 33u);
    EXPECT_EQ(FrameRateToIntervalMs(25), 40u);
    EXPECT_EQ(FrameRateToIntervalMs(7.5), 133u);
    EXPECT_EQ(FrameRateToIntervalMs(1), 1000u);
    EXPECT_EQ(FrameRateToIntervalMs(0.5), 2000u);
    EXPECT_EQ(FrameRateToIntervalMs(29.97), 33u);
}

// 400.00001 is exactly 400 in single precision: 1000/400 + 0.5 = 3, where the
// double rate would give 2.99999.. and truncate to 2.
TEST(FrameRate, RateIsRoundedToSinglePrecisionFirst) {
    EXPECT_EQ(FrameRateToIntervalMs(400.00001), 3u);
}

TEST(FrameRate, MeaninglessRatesGiveOneSecond) {
    EXPECT_EQ(FrameRateToIntervalMs(-5), 1000u);
    EXPECT_EQ(FrameRateToIntervalMs(std::numeric_limits<double>::quiet_NaN()), 1000u);
    EXPECT_EQ(FrameRateToIntervalMs(1e-30), std::numeric_limits<uint32_t>::max());
}

TEST(FrameRate, IntervalToRate) {
    EXPECT_EQ(IntervalMsToFrameRate(0), 1u);
    EXPECT_EQ(IntervalMsToFrameRate(40), 25u);
    EXPECT_EQ(IntervalMsToFrameRate(33), 30u);
    EXPECT_EQ(IntervalMsToFrameRate(3), 333u);
    EXPECT_EQ(IntervalMsToFrameRate(1000), 1u);
    EXPECT_EQ(IntervalMsToFrameRate(2000), 1u);
    EXPECT_EQ(IntervalMsToFrameRate(2001), 0u);
}

} // namespace
} // namespace talvex

#include "settings/MarkedFrameRate.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(MarkedFrameRateTest, RatesAboveThirtyTravelMarkedAndComeBackExact) {
    EXPECT_EQ(EncodeFrameInterval(25, true), 40u);
    EXPECT_EQ(EncodeFrameInterval(60, false), 17u);
    EXPECT_EQ(DecodeFrameInterval(EncodeFrameInterval(60, false)), 59u);
    EXPECT_EQ(EncodeFrameInterval(60, true), 0x703Cu);
    EXPECT_LE(EncodeFrameInterval(4095, true), 0xFFFFu);
    for (uint32_t rate = 1; rate <= 240; ++rate)
        EXPECT_EQ(DecodeFrameInterval(EncodeFrameInterval(rate, true)), rate) << rate;
    EXPECT_EQ(DecodeFrameInterval(0), 1u);
    EXPECT_FALSE(IsMarkedFrameRate(0x17000));
    EXPECT_EQ(DecodeFrameInterval(1000), 1u);
}

} // namespace
} // namespace talvex

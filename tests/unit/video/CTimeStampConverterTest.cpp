#include "video/CTimeStampConverter.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

constexpr uint64_t kMs = CTimeStampConverter::kUnitsPerMs;
constexpr uint64_t kStart = 133000000000000000ULL; // a file time in 2022
constexpr uint32_t kTicksPer40Ms = 3600;

class TimeStampConverterTest : public ::testing::Test {
protected:
    uint64_t now = kStart;
    CTimeStampConverter converter{[this] { return CTime(now); }};

    uint64_t Convert(uint32_t rtp) { return converter.Convert(rtp).Value(); }
};

TEST_F(TimeStampConverterTest, FirstFrameTakesTheSystemTime) {
    EXPECT_EQ(Convert(12345), kStart);
}

TEST_F(TimeStampConverterTest, EarlyStepsFollowTheRtpClockAt90kHz) {
    uint32_t rtp = 1000;
    Convert(rtp);
    for (uint64_t k = 1; k <= 10; ++k)
        EXPECT_EQ(Convert(rtp += kTicksPer40Ms), kStart + k * 40 * kMs);
}

TEST_F(TimeStampConverterTest, FrameTimesNeverLagTheSystemClock) {
    uint32_t rtp = 0;
    Convert(rtp);
    for (int k = 1; k <= 5; ++k) {
        now += 100 * kMs; // frames arrive slower than their timestamps say
        EXPECT_EQ(Convert(rtp += kTicksPer40Ms), now);
    }
    EXPECT_EQ(converter.GetRecordedLead(), 0u);
}

TEST_F(TimeStampConverterTest, TimestampWrapAroundIsAForwardStep) {
    Convert(0xFFFFF000u);
    EXPECT_EQ(Convert(0x00000E10u), kStart + uint64_t(0x1000 + 0xE10) * 1000 / 9);
}

TEST_F(TimeStampConverterTest, RepeatedTimestampAdvancesOneMillisecondOrToNow) {
    Convert(500);
    EXPECT_EQ(Convert(500), kStart + kMs);
    now += 10 * kMs;
    EXPECT_EQ(Convert(500), now);
}

TEST_F(TimeStampConverterTest, OlderTimestampBecomesTheNewReference) {
    Convert(900000);
    EXPECT_EQ(Convert(90000), kStart + kMs); // the camera restarted its clock
    EXPECT_EQ(Convert(90000 + kTicksPer40Ms), kStart + kMs + 40 * kMs);
}

TEST_F(TimeStampConverterTest, StepOfASecondOrMoreStartsOverFromTheSystemClock) {
    Convert(0);
    now += 40 * kMs;
    EXPECT_EQ(Convert(10 * 90000), now);
    EXPECT_EQ(Convert(10 * 90000 + kTicksPer40Ms), now + 40 * kMs);
}

TEST_F(TimeStampConverterTest, ResyncStepStartsAtExactlyOneSecond) {
    Convert(0);
    EXPECT_EQ(Convert(89999), kStart + uint64_t(89999) * 1000 / 9) << "a step under one second not trusted";
    converter.Reset();
    Convert(0);
    now += 40 * kMs;
    EXPECT_EQ(Convert(90000), now) << "a one-second step trusted";
}

TEST_F(TimeStampConverterTest, ReplayTimestampOlderThanTheReferenceStepsOnAndBecomesTheReference) {
    const uint64_t base = kStart - 3600 * 1000 * kMs;
    converter.StartReplay(CTime(base));
    EXPECT_EQ(Convert(90000), base);
    EXPECT_EQ(Convert(45000), base + 10 * kMs); // older: the replay increment, never back
    EXPECT_EQ(Convert(45000 + kTicksPer40Ms), base + 50 * kMs);
}

TEST_F(TimeStampConverterTest, ReplayFollowsTheRtpClockFromTheBaseTime) {
    const uint64_t base = kStart - 3600 * 1000 * kMs;
    converter.StartReplay(CTime(base));
    EXPECT_EQ(Convert(0xFFFFFF00u), base);
    EXPECT_EQ(Convert(0xFFFFFF00u + kTicksPer40Ms), base + 40 * kMs); // across the wrap
    EXPECT_EQ(Convert(0xFFFFFF00u + kTicksPer40Ms), base + 50 * kMs); // repeated: 10 ms increment
    now += 1000 * 1000 * kMs;                                        // the system clock plays no part
    EXPECT_EQ(Convert(0xFFFFFF00u + 2 * kTicksPer40Ms), base + 90 * kMs);
}

TEST_F(TimeStampConverterTest, AnAnchoredReplayCountsFromTheFirstPacketNotTheFirstConvertedFrame) {
    const uint64_t base = kStart - 3600 * 1000 * kMs;
    converter.StartReplay(CTime(base));
    converter.AnchorReplay(9000); // a frame before the first key frame: never converted
    converter.AnchorReplay(18000); // later packets leave the reference alone
    EXPECT_EQ(Convert(9000 + 10 * kTicksPer40Ms), base + 400 * kMs);
    converter.StartReplay(CTime(base));
    converter.AnchorReplay(9000);
    EXPECT_EQ(Convert(9000), base) << "the anchor's own frame";
    EXPECT_EQ(Convert(9000), base + 10 * kMs);
}

TEST_F(TimeStampConverterTest, ReplayWithoutABaseTimeStartsAtTheSystemTime) {
    converter.StartReplay(CTime());
    EXPECT_EQ(Convert(7), kStart);
    converter.Reset();
    now += kMs;
    EXPECT_EQ(Convert(7), now); // still replay: the first timestamp again only sets the reference
    EXPECT_EQ(Convert(7), now + 10 * kMs);
}

// Feeds frames of rtpStep ticks that arrive every wallStep units; checks that
// frame times strictly increase and never lag the system clock. Returns the
// final lead over the system clock.
struct RunResult {
    uint64_t finalLead;
    uint64_t smallestStep;
    uint64_t largestStep;
};

class TimeStampDriftTest : public TimeStampConverterTest {
protected:
    // jitter: odd frames arrive that much early, even ones that much late.
    RunResult Run(int frames, uint32_t rtpStep, uint64_t wallStep, int burstFrames = 0, uint64_t jitter = 0) {
        uint32_t rtp = 0x7FFF0000u;
        uint64_t last = Convert(rtp);
        RunResult result{0, UINT64_MAX, 0};
        for (int k = 1; k <= frames; ++k) {
            if (k > burstFrames)
                now += k % 2 ? wallStep - jitter : wallStep + jitter;
            uint64_t time = Convert(rtp += rtpStep);
            EXPECT_GT(time, last) << "frame " << k;
            EXPECT_GE(time, now) << "frame " << k;
            if (k > burstFrames + 1) {
                result.smallestStep = std::min(result.smallestStep, time - last);
                result.largestStep = std::max(result.largestStep, time - last);
            }
            last = time;
        }
        result.finalLead = last - now;
        return result;
    }
};

TEST_F(TimeStampDriftTest, FastCameraClockIsScaledDownToTheArrivalRate) {
    // 1 % fast: without correction the lead would grow by 0.4 ms a frame (1.2 s here).
    RunResult result = Run(3000, 3636, 40 * kMs);
    EXPECT_LT(result.finalLead, 50 * kMs);
    // The 40 ms lead of the first 100 steps is given up by at most an eighth of a step.
    EXPECT_GE(result.smallestStep, 35 * kMs);
    EXPECT_LT(result.largestStep, 45 * kMs);
}

TEST_F(TimeStampDriftTest, SlowCameraClockStaysOnTheSystemClockSmoothly) {
    RunResult result = Run(3000, 3564, 40 * kMs);
    EXPECT_LE(result.finalLead, 1 * kMs);
    EXPECT_GE(result.smallestStep, 35 * kMs);
    EXPECT_LT(result.largestStep, 45 * kMs);
}

TEST_F(TimeStampDriftTest, LeadFromABurstIsWorkedOffGradually) {
    // The first 100 frames arrive at once (a camera emptying its buffer): 4 s of lead.
    Run(100, kTicksPer40Ms, 40 * kMs, 100);
    EXPECT_GE(converter.GetRecordedLead(), 3900 * kMs);
    RunResult result = Run(1000, kTicksPer40Ms, 40 * kMs);
    EXPECT_EQ(result.finalLead, 0u);
    // No step collapses: each keeps at least 4 ms.
    EXPECT_GE(result.smallestStep, CTimeStampConverter::kMinimumCorrectedStep);
}

TEST_F(TimeStampDriftTest, ArrivalJitterDoesNotReachTheFrameTimes) {
    RunResult result = Run(3000, kTicksPer40Ms, 40 * kMs, 0, 20 * kMs);
    EXPECT_GE(result.smallestStep, 35 * kMs);
    EXPECT_LT(result.largestStep, 45 * kMs);
}

TEST_F(TimeStampDriftTest, RateIsClampedToHalfTheRtpRate) {
    // Frames every 10 ms that claim 40 ms: the measured rate of 1/4 is held at 1/2.
    RunResult result = Run(1500, kTicksPer40Ms, 10 * kMs);
    EXPECT_GE(result.smallestStep, 17 * kMs) << "rate followed below the clamp";
    EXPECT_LT(result.largestStep, 41 * kMs);
}

TEST_F(TimeStampDriftTest, BurstAfterCalibrationIsWorkedOffToo) {
    uint32_t rtp = 0;
    Convert(rtp);
    for (int k = 1; k <= 200; ++k) {
        now += 40 * kMs;
        Convert(rtp += kTicksPer40Ms);
    }
    for (int k = 0; k < 20; ++k) // 800 ms of frames at once
        Convert(rtp += kTicksPer40Ms);
    EXPECT_GE(converter.GetRecordedLead(), 250 * kMs);
    uint64_t last = 0;
    for (int k = 0; k < 1000; ++k) {
        now += 40 * kMs;
        last = Convert(rtp += kTicksPer40Ms);
    }
    EXPECT_EQ(last, now) << "the lead of a burst after the first 100 steps is kept";
}

} // namespace
} // namespace talvex::test

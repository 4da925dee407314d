#include "video/CTimeStampConverter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace talvex::test {
namespace {

constexpr uint64_t kMs = CTimeStampConverter::kUnitsPerMs;
constexpr uint64_t kStart = 133000000000000000ULL; // a file time in 2022
constexpr uint32_t kTicksPer40Ms = 3600;
constexpr uint64_t kReplayBase = kStart - 3600 * 1000 * kMs;

class TimeStampConverterTest : public ::testing::Test {
protected:
    uint64_t now = kStart;
    CTimeStampConverter converter{[this] { return CTime(now); }};

    uint64_t Convert(uint32_t rtp) { return converter.Convert(rtp).Value(); }
};

// One frame: the system clock moves on by advance, then a frame of this RTP
// timestamp should get the time origin + expected (origin: the start time, or
// the replay base time).
struct Step {
    uint64_t advance;
    uint32_t rtp;
    uint64_t expected;
};

struct ConversionCase {
    const char* name;
    bool replay;
    std::vector<Step> steps;
};

void PrintTo(const ConversionCase& value, std::ostream* out) { *out << value.name; }

class TimeStampConversionTest : public TimeStampConverterTest,
                                public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(TimeStampConversionTest, GivesEachFrameItsTime) {
    const uint64_t origin = GetParam().replay ? kReplayBase : kStart;
    if (GetParam().replay)
        converter.StartReplay(CTime(kReplayBase));
    for (size_t i = 0; i < GetParam().steps.size(); ++i) {
        now += GetParam().steps[i].advance;
        EXPECT_EQ(Convert(GetParam().steps[i].rtp), origin + GetParam().steps[i].expected) << "frame " << i;
    }
}

constexpr uint64_t k40 = 40 * kMs;
INSTANTIATE_TEST_SUITE_P(
    Cases, TimeStampConversionTest,
    ::testing::Values(
        // Live: the first frame takes the system time, the early steps follow the 90 kHz clock.
        ConversionCase{"EarlyStepsFollowTheRtpClock", false, {{0, 1000, 0}, {0, 4600, k40}, {0, 8200, 2 * k40}}},
        ConversionCase{"FrameTimesNeverLagTheSystemClock", false, {{0, 0, 0}, {100 * kMs, 3600, 100 * kMs}, {100 * kMs, 7200, 200 * kMs}}},
        ConversionCase{"TimestampWrapIsAForwardStep", false, {{0, 0xFFFFF000u, 0}, {0, 0xE10, uint64_t(0x1000 + 0xE10) * 1000 / 9}}},
        ConversionCase{"RepeatedTimestampAdvancesOneMillisecondOrToNow", false, {{0, 500, 0}, {0, 500, kMs}, {10 * kMs, 500, 10 * kMs}}},
        // The camera restarted its clock.
        ConversionCase{"OlderTimestampBecomesTheReference", false, {{0, 900000, 0}, {0, 90000, kMs}, {0, 93600, kMs + k40}}},
        ConversionCase{"StepJustUnderASecondIsTrusted", false, {{0, 0, 0}, {0, 89999, uint64_t(89999) * 1000 / 9}}},
        ConversionCase{"StepOfASecondStartsOverFromTheSystemClock", false, {{0, 0, 0}, {k40, 90000, k40}, {0, 93600, 2 * k40}}},
        // Replay: older steps on by the 10 ms increment, never back.
        ConversionCase{"ReplayOlderTimestampStepsOnAndBecomesTheReference", true, {{0, 90000, 0}, {0, 45000, 10 * kMs}, {0, 48600, 50 * kMs}}},
        // Across the wrap; repeated: the 10 ms increment; the system clock plays no part.
        ConversionCase{"ReplayFollowsTheRtpClockAlone", true, {{0, 0xFFFFFF00u, 0}, {0, 0xFFFFFF00u + 3600, k40}, {0, 0xFFFFFF00u + 3600, 50 * kMs}, {1000 * 1000 * kMs, 0xFFFFFF00u + 7200, 90 * kMs}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TimeStampConverterTest, AnAnchoredReplayCountsFromTheFirstPacketNotTheFirstConvertedFrame) {
    converter.StartReplay(CTime(kReplayBase));
    converter.AnchorReplay(9000); // a frame before the first key frame: never converted
    converter.AnchorReplay(18000); // later packets leave the reference alone
    EXPECT_EQ(Convert(9000 + 10 * kTicksPer40Ms), kReplayBase + 400 * kMs);
    converter.StartReplay(CTime(kReplayBase));
    converter.AnchorReplay(9000);
    EXPECT_EQ(Convert(9000), kReplayBase) << "the anchor's own frame";
    EXPECT_EQ(Convert(9000), kReplayBase + 10 * kMs);
}

TEST_F(TimeStampConverterTest, ReplayWithoutABaseTimeStartsAtTheSystemTime) {
    converter.StartReplay(CTime());
    EXPECT_EQ(Convert(7), kStart);
    converter.Reset();
    now += kMs;
    EXPECT_EQ(Convert(7), now); // still replay: the first timestamp again only sets the reference
    EXPECT_EQ(Convert(7), now + 10 * kMs);
}

// Feeds frames of rtpStep ticks that arrive every wallStep units, on from the
// frames of an earlier run; checks that frame times strictly increase and
// never lag the system clock. Returns the final lead over the system clock.
struct RunResult {
    uint64_t finalLead, smallestStep, largestStep;
};

class TimeStampDriftTest : public TimeStampConverterTest {
protected:
    // jitter: odd frames arrive that much early, even ones that much late.
    RunResult Run(int frames, uint32_t rtpStep, uint64_t wallStep, int burstFrames = 0, uint64_t jitter = 0) {
        if (last == 0)
            last = Convert(rtp);
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

    uint32_t rtp = 0x7FFF0000u;
    uint64_t last = 0; // the time of the last frame, 0 before the first
};

TEST_F(TimeStampDriftTest, LeadFromABurstIsWorkedOffGradually) {
    // The first 100 frames arrive at once (a camera emptying its buffer): 4 s of lead.
    Run(100, kTicksPer40Ms, 40 * kMs, 100);
    EXPECT_GE(converter.GetRecordedLead(), 3900 * kMs);
    RunResult result = Run(1000, kTicksPer40Ms, 40 * kMs);
    EXPECT_EQ(result.finalLead, 0u);
    // No step collapses: each keeps at least 4 ms.
    EXPECT_GE(result.smallestStep, CTimeStampConverter::kMinimumCorrectedStep);
}

// A steady stream of frames: the bounds of every step after the first and of
// the final lead over the system clock.
struct DriftCase {
    const char* name;
    int frames;
    uint32_t rtpStep;
    uint64_t wallStep, jitter;
    uint64_t smallestStep, largestStep, largestLead;
};

void PrintTo(const DriftCase& value, std::ostream* out) { *out << value.name; }

class TimeStampRateTest : public TimeStampDriftTest, public ::testing::WithParamInterface<DriftCase> {};

TEST_P(TimeStampRateTest, StepsStayWithinTheirBounds) {
    const DriftCase& row = GetParam();
    RunResult result = Run(row.frames, row.rtpStep, row.wallStep, 0, row.jitter);
    EXPECT_GE(result.smallestStep, row.smallestStep);
    EXPECT_LT(result.largestStep, row.largestStep);
    EXPECT_LE(result.finalLead, row.largestLead);
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, TimeStampRateTest,
    ::testing::Values(
        // 1 % fast: without correction the lead would grow by 0.4 ms a frame (1.2 s here); the 40 ms lead of
        // the first 100 steps is given up by at most an eighth of a step.
        DriftCase{"FastCameraClockIsScaledDownToTheArrivalRate", 3000, 3636, 40 * kMs, 0, 35 * kMs, 45 * kMs, 50 * kMs - 1},
        DriftCase{"SlowCameraClockStaysOnTheSystemClockSmoothly", 3000, 3564, 40 * kMs, 0, 35 * kMs, 45 * kMs, kMs},
        DriftCase{"ArrivalJitterDoesNotReachTheFrameTimes", 3000, kTicksPer40Ms, 40 * kMs, 20 * kMs, 35 * kMs, 45 * kMs, UINT64_MAX},
        // Frames every 10 ms that claim 40 ms: the measured rate of 1/4 is held at 1/2.
        DriftCase{"RateIsClampedToHalfTheRtpRate", 1500, kTicksPer40Ms, 10 * kMs, 0, 17 * kMs, 41 * kMs, UINT64_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TimeStampDriftTest, BurstAfterCalibrationIsWorkedOffToo) {
    Run(200, kTicksPer40Ms, 40 * kMs);
    Run(20, kTicksPer40Ms, 40 * kMs, 20); // 800 ms of frames at once
    EXPECT_GE(converter.GetRecordedLead(), 250 * kMs);
    EXPECT_EQ(Run(1000, kTicksPer40Ms, 40 * kMs).finalLead, 0u) << "the lead of a burst after the first 100 steps is kept";
}

} // namespace
} // namespace talvex::test

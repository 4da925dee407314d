#include "edgestorage/CEdgeOutageRules.h"

#include "EdgeTimes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <tuple>
#include <vector>

namespace talvex::test {
namespace {

constexpr uint32_t kSilenceMs = 10000;

EdgeChannelMap Channels(const std::vector<std::pair<uint32_t, uint64_t>>& lastFrames) {
    EdgeChannelMap channels;
    for (const auto& [number, time] : lastFrames)
        channels[number] = EdgeChannelRecord{nullptr, 1, time};
    return channels;
}

struct OutageCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint64_t>> lastFrames;
    uint64_t now;
    bool outage;
};

void PrintTo(const OutageCase& value, std::ostream* out) { *out << value.name; }

class OutageThreshold : public testing::TestWithParam<OutageCase> {};

TEST_P(OutageThreshold, CountsOnlySilenceLongerThanTheTimeOutOfTheNewestChannel) {
    EXPECT_EQ(CEdgeOutageRules::IsOutage(Channels(GetParam().lastFrames), GetParam().now, kSilenceMs),
              GetParam().outage);
}

INSTANTIATE_TEST_SUITE_P(
    Silence, OutageThreshold,
    testing::Values(OutageCase{"Exactly", {{0, At(10, 0, 0)}}, At(10, 0, 10), false},
                    OutageCase{"JustAbove", {{0, At(10, 0, 0)}}, At(10, 0, 10, 1), true},
                    OutageCase{"OneChannelStillAlive", {{0, At(10, 0, 0)}, {1, At(10, 0, 5)}}, At(10, 0, 12), false},
                    OutageCase{"AllSilent", {{0, At(10, 0, 0)}, {1, At(10, 0, 5)}}, At(10, 0, 16), true},
                    OutageCase{"NeverAFrame", {{0, 0}, {1, 0}}, At(10, 0, 16), false},
                    OutageCase{"NoChannel", {}, At(10, 0, 16), false},
                    OutageCase{"ClockBehindTheFrames", {{0, At(10, 0, 30)}}, At(10, 0, 0), false}),
    [](const testing::TestParamInfo<OutageCase>& info) { return info.param.name; });

using Interval = std::tuple<uint32_t, uint64_t, uint64_t>;

std::vector<Interval> Intervals(const std::vector<CEdgeStorageTaskItem>& items) {
    std::vector<Interval> intervals;
    for (const CEdgeStorageTaskItem& item : items)
        intervals.emplace_back(item.GetChannel(), item.GetBegin(), item.GetEnd());
    return intervals;
}

struct IntervalCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint64_t>> lastFrames;
    uint64_t resume;
    uint64_t now;
    std::vector<Interval> expected;
};

void PrintTo(const IntervalCase& value, std::ostream* out) { *out << value.name; }

class MissedIntervals : public testing::TestWithParam<IntervalCase> {};

TEST_P(MissedIntervals, RunFromEachChannelsLastFrameToTheFirstFrameAfterTheOutage) {
    const IntervalCase& c = GetParam();
    EXPECT_EQ(Intervals(CEdgeOutageRules::MissedIntervals(Channels(c.lastFrames), c.resume, c.now)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, MissedIntervals,
    testing::Values(
        IntervalCase{"TwoChannels",
                     {{1, At(10, 0, 0)}, {2, At(10, 0, 2)}},
                     At(10, 5, 0),
                     At(10, 5, 3),
                     {{1, At(10, 0, 0), At(10, 5, 0)}, {2, At(10, 0, 2), At(10, 5, 0)}}},
        IntervalCase{"ChannelWithoutFrame", {{1, 0}, {2, At(10, 0, 2)}}, At(10, 5, 0), At(10, 5, 3),
                     {{2, At(10, 0, 2), At(10, 5, 0)}}},
        IntervalCase{"NoResumeEndsNow", {{1, At(10, 0, 0)}}, 0, At(10, 7, 0), {{1, At(10, 0, 0), At(10, 7, 0)}}},
        IntervalCase{"LastFrameAtTheEnd", {{1, At(10, 5, 0)}}, At(10, 5, 0), At(10, 6, 0), {}},
        IntervalCase{"EmptySnapshot", {}, At(10, 5, 0), At(10, 6, 0), {}}),
    [](const testing::TestParamInfo<IntervalCase>& info) { return info.param.name; });

} // namespace
} // namespace talvex::test

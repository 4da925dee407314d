// RFC 3550 Appendix A.1 sequence state: probation, reordering, a jump that
// restarts the source, and the 16-bit sequence number wrapping meanwhile.
#include "streaming/CRTCPHandler.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace talvex {
namespace {

struct SequenceCase {
    const char* name;
    std::vector<uint16_t> sequences;
    uint32_t received;
    uint32_t extendedHighest;
};

void PrintTo(const SequenceCase& value, std::ostream* out) { *out << value.name; }

class RTPSequenceStatisticsTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(RTPSequenceStatisticsTest, CountsAndExtendsTheHighestSequence) {
    RTPSequenceStatistics statistics;
    for (uint16_t sequence : GetParam().sequences)
        statistics.OnSequence(sequence);
    EXPECT_EQ(statistics.received, GetParam().received);
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), GetParam().extendedHighest);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, RTPSequenceStatisticsTest,
    ::testing::Values(
        SequenceCase{"FirstPacketOnProbation", {100}, 0, 100},
        SequenceCase{"SecondInSequenceEndsProbation", {100, 101}, 1, 101},
        SequenceCase{"ReorderedPacketCountedHighestKept", {100, 101, 99}, 2, 101},
        SequenceCase{"LargeJumpNotTakenAtOnce", {100, 101, 99, 40000}, 2, 101},
        SequenceCase{"NextAfterAJumpRestartsTheSource", {100, 101, 40000, 40001}, 1, 40001},
        SequenceCase{"ProbationEndsAcrossTheWrap", {65535, 0}, 1, 0},
        SequenceCase{"CountAfterProbationAcrossTheWrap", {65535, 0, 1}, 2, 1},
        SequenceCase{"StepsOverTheWrapAddACycle", {65000, 65001, 65101, 65201, 65301, 65401, 65501, 65, 165}, 8, 65701},
        SequenceCase{"RestartAfterAWrapStartsTheCountAgain",
                     {65000, 65001, 65101, 65201, 65301, 65401, 65501, 65, 165, 30000, 30001}, 1, 30001},
        SequenceCase{"RestartWhoseSecondPacketWraps", {1000, 1001, 65535, 0}, 1, 0},
        SequenceCase{"CountAfterARestartAcrossTheWrap", {1000, 1001, 65535, 0, 1}, 2, 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

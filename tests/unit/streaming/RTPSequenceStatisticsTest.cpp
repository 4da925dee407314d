// RFC 3550 Appendix A.1 sequence state where the 16-bit sequence number wraps:
// probation that ends across the wrap, and a restart (or its second packet)
// after one.
#include "streaming/CRTCPHandler.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(RTPSequenceStatistics, ProbationEndsAcrossTheWrap) {
    RTPSequenceStatistics statistics;
    statistics.OnSequence(65535);
    statistics.OnSequence(0);
    EXPECT_EQ(statistics.received, 1u) << "0 after 65535 not taken as the next packet";
    statistics.OnSequence(1);
    EXPECT_EQ(statistics.received, 2u);
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 1u);
}

TEST(RTPSequenceStatistics, RestartAfterAWrapStartsTheCountAgain) {
    RTPSequenceStatistics statistics;
    statistics.OnSequence(65000);
    for (uint32_t sequence = 65001; sequence <= 65701; sequence += 100)
        statistics.OnSequence(uint16_t(sequence));
    ASSERT_EQ(statistics.GetExtendedHighestSequence(), 65701u);
    statistics.OnSequence(30000); // far away: the first of a restart
    statistics.OnSequence(30001);
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 30001u) << "the wrap before the restart kept";
}

TEST(RTPSequenceStatistics, RestartWhoseSecondPacketWraps) {
    RTPSequenceStatistics statistics;
    statistics.OnSequence(1000);
    statistics.OnSequence(1001);
    statistics.OnSequence(65535);
    statistics.OnSequence(0); // in sequence with the jump: the source restarted
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 0u);
    statistics.OnSequence(1);
    EXPECT_EQ(statistics.GetExtendedHighestSequence(), 1u);
}

} // namespace
} // namespace talvex

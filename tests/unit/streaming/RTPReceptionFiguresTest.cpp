// Receiver report figures (RFC 3550 A.3 and A.8) for a stream with known loss
// and jitter: 25 pictures per second at 90 kHz (3600 ticks, 40 ms apart),
// sequence numbers that wrap, three packets lost, one packet 20 ms late.
#include "streaming/CRTCPHandler.h"

#include <gtest/gtest.h>

#include <set>

namespace talvex {
namespace {

constexpr uint16_t kFirstSequence = 65528;
constexpr uint32_t kFirstTimestamp = 123456;
constexpr uint32_t kTicksPerPicture = 3600;
constexpr uint64_t kNsPerPicture = 40'000'000;
constexpr uint64_t kStartNs = 5'000'000'000'000;
constexpr uint64_t kLateNs = 20'000'000; // 1800 ticks

void Feed(RTPSequenceStatistics& statistics, int first, int last, const std::set<int>& lost, int late) {
    for (int i = first; i <= last; ++i) {
        if (lost.count(i))
            continue;
        const uint64_t arrivalNs = kStartNs + uint64_t(i) * kNsPerPicture + (i == late ? kLateNs : 0);
        statistics.OnPacket(uint16_t(kFirstSequence + i), kFirstTimestamp + uint32_t(i) * kTicksPerPicture, arrivalNs);
    }
}

TEST(RTPReceptionFigures, LossAndJitterOfAKnownPattern) {
    RTPSequenceStatistics statistics;
    // Packet 0 is the probation packet; the base is packet 1 (65529). Packets
    // 5, 6 and 12 (65533, 65534 and 4 after the wrap) never come; 17 is late.
    Feed(statistics, 0, 19, {5, 6, 12}, 17);
    RTPReceptionFigures figures = statistics.TakeReportFigures();
    // Highest: packet 19 = 65547, one cycle. Expected 65547 - 65529 + 1 = 19, received 16.
    EXPECT_EQ(figures.extendedHighestSequence, 65547u);
    EXPECT_EQ(figures.cumulativeLost, 3);
    EXPECT_EQ(figures.fractionLost, 3 * 256 / 19); // 40
    // |D| is 1800 for the late packet and for the one after it, 0 otherwise:
    // J = 1800/16 = 112.5, then 112.5 + (1800 - 112.5)/16 = 217.97, then 217.97 * 15/16 = 204.35.
    EXPECT_EQ(figures.jitter, 204u);

    // Ten more on time and none lost: nothing lost in this interval, the total stays.
    Feed(statistics, 20, 29, {}, -1);
    figures = statistics.TakeReportFigures();
    EXPECT_EQ(figures.extendedHighestSequence, 65557u);
    EXPECT_EQ(figures.cumulativeLost, 3);
    EXPECT_EQ(figures.fractionLost, 0);
    // Ten steps of J * 15/16 on time: 204.35 * (15/16)^10 = 107.1.
    EXPECT_EQ(figures.jitter, 107u);
}

} // namespace
} // namespace talvex

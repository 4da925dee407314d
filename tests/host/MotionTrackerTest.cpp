#include "MotionTracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fennwick_host {
namespace {

// Frames as the driver sends them ('1' motion, '0' none, 'L' a loss of the
// motion channel's signal) and the states the tracker reports.
struct TrackCase {
    std::string frames;
    std::string reported;
    uint64_t onsets;
};

TEST(MotionTracker, DropsTheDriversEdgeLeadInAndReportsOnlyChanges) {
    const std::vector<TrackCase> cases = {
        {"10", "0", 0},          // start in a quiet scene: the edge, then the state
        {"01", "1", 1},          // start with motion
        {"1001", "01", 1},       // a real change to motion
        {"1010", "010", 1},      // and back
        {"1000", "0", 0},        // repeats are no changes
        {"10L10", "0", 0},       // a quiet channel's loss and its new edge
        {"10L01", "01", 1},      // motion began while the channel was lost
        {"10L10L10L10", "0", 0}, // every ten seconds of a quiet scene
    };
    for (const TrackCase& test : cases) {
        MotionTracker tracker;
        std::string reported;
        for (char frame : test.frames) {
            if (frame == 'L')
                tracker.OnChannelLoss();
            else if (auto change = tracker.OnFrame(frame == '1'))
                reported += *change ? '1' : '0';
        }
        EXPECT_EQ(reported, test.reported) << test.frames;
        EXPECT_EQ(tracker.Changes(), test.reported.size()) << test.frames;
        EXPECT_EQ(tracker.Onsets(), test.onsets) << test.frames;
    }
}

TEST(MotionTracker, ReadsTheTwoDataBytes) {
    const std::vector<std::pair<std::vector<uint8_t>, std::optional<bool>>> cases = {
        {{0x01, 0x01}, true}, {{0x01, 0x00}, false}, {{0x00, 0x01}, std::nullopt},
        {{0x01, 0x02}, std::nullopt}, {{0x01}, std::nullopt}, {{0x01, 0x01, 0x00}, std::nullopt}};
    for (const auto& [data, state] : cases)
        EXPECT_EQ(MotionTracker::StateOfFrame(data), state) << data.size();
}

} // namespace
} // namespace fennwick_host

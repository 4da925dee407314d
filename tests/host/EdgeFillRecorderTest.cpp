// How the host cuts the driver's replayed frames into filled intervals: a
// jump in recorded time or a pause in arrivals ends one, frames that cannot
// join its time line are left out, and each finished interval is told once.
#include "EdgeFillRecorder.h"

#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace fennwick_host {
namespace {

using namespace std::chrono_literals;

constexpr uint64_t kUnitsPerMs = 10000;
constexpr uint64_t kBase = 133466976000000000ull; // 2023-12-06 00:00:00 UTC as a file time
const std::vector<uint8_t> kPicture = {0xFF, 0xD8, 0xFF, 0xD9};

// One replayed frame: its recorded time and its arrival, in ms from the start.
struct Replayed {
    int64_t timeMs;
    int64_t arrivalMs;
    bool key = true;
};

struct FillCase {
    const char* name;
    std::vector<Replayed> frames;
    std::vector<uint64_t> framesPerFill;
    uint64_t skipped = 0;
};

void PrintTo(const FillCase& row, std::ostream* out) { *out << row.name; }

class EdgeFills : public ::testing::TestWithParam<FillCase> {};

TEST_P(EdgeFills, CutIntoIntervalsAsTheDriverFilledThem) {
    const FillCase& row = GetParam();
    const talvex::test::HostDirectory folder;
    StreamEventLog events;
    ASSERT_FALSE(events.Open(folder.Path() + "events"));
    EdgeFillRecorder recorder("");
    recorder.ReportEventsTo(events, "cam rec");
    const auto start = EdgeFillRecorder::Clock::now();
    for (const Replayed& frame : row.frames)
        recorder.OnFrame({kPicture, {VideoCodec::H264, frame.key}, kBase + uint64_t(frame.timeMs) * kUnitsPerMs, 0, 0},
                         start + std::chrono::milliseconds(frame.arrivalMs));
    recorder.Finish();

    std::vector<uint64_t> framesPerFill;
    uint64_t skipped = 0;
    for (const EdgeFillReport& fill : recorder.Reports()) {
        framesPerFill.push_back(fill.frames);
        skipped += fill.framesSkipped;
    }
    EXPECT_EQ(framesPerFill, row.framesPerFill);
    EXPECT_EQ(skipped, row.skipped);
    std::ifstream file(folder.Path() + "events");
    size_t told = 0;
    for (std::string line; std::getline(file, line);)
        told += line.find(" cam rec edge-filled ") != std::string::npos;
    EXPECT_EQ(told, row.framesPerFill.size());
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, EdgeFills,
    ::testing::Values(
        FillCase{"OneIntervalInOrder", {{0, 0}, {100, 100}, {200, 200}}, {3}},
        FillCase{"RecordedTimeJumpsPastTheSplit", {{0, 0}, {100, 100}, {100 + 5001, 200}, {5201, 300}}, {2, 2}},
        FillCase{"RecordedTimeJumpsWithinTheSplit", {{0, 0}, {5000, 100}}, {2}},
        FillCase{"ArrivalsPauseForTheIdleTime", {{0, 0}, {100, 100}, {200, 100 + 10000}}, {2, 1}},
        FillCase{"ArrivalsPauseShorter", {{0, 0}, {100, 100}, {200, 100 + 9999}}, {3}},
        FillCase{"RepeatedOrOlderFramesLeftOut", {{0, 0}, {100, 100}, {100, 200}, {50, 300}, {200, 400}}, {3}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fennwick_host

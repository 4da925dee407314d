#include "AudioRecorder.h"

#include "HostFrames.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace fennwick_host {
namespace {

using namespace std::chrono_literals;
using talvex::ipcapture::MakeFourCC;

constexpr uint32_t kMuLaw = MakeFourCC('7', '1', '1', 'M');
constexpr uint32_t kVideo = MakeFourCC('H', '2', '6', '4');

// One audio frame as the driver hands it over: its tag, its bytes (8 bytes of
// G.711 last 1 ms) and the pause before it.
struct Arrival {
    uint32_t fourcc;
    uint32_t bytes;
    std::chrono::milliseconds pauseBefore;
};

struct CountCase {
    const char* name;
    std::vector<Arrival> arrivals;
    std::vector<uint32_t> statuses;
    uint64_t frames, refused, gaps, signalLosses;
};

void PrintTo(const CountCase& row, std::ostream* out) { *out << row.name; }

class AudioRecorderCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(AudioRecorderCounts, SummaryCountsWhatCame) {
    const CountCase& row = GetParam();
    FrameAllocator allocator;
    AudioRecorder recorder(nullptr);
    for (uint32_t status : row.statuses)
        recorder.OnStatusChanged(0, status);
    for (const Arrival& arrival : row.arrivals) {
        std::this_thread::sleep_for(arrival.pauseBefore);
        auto* frame = allocator.AllocAudio(arrival.fourcc, arrival.bytes, "test");
        const std::vector<uint8_t> data(arrival.bytes, 0xFF);
        frame->SetCodec(arrival.fourcc);
        frame->SetData(data.data(), arrival.bytes);
        frame->SetFormat(8000, 16, false);
        frame->SetBitRate(64000);
        recorder.OnAudioFrame(frame);
        allocator.ReleaseAudio(frame);
    }
    const AudioReport report = recorder.Report();
    EXPECT_EQ(report.frames, row.frames);
    EXPECT_EQ(report.framesRefused, row.refused);
    EXPECT_EQ(report.gaps, row.gaps);
    EXPECT_EQ(report.signalLosses, row.signalLosses);
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, AudioRecorderCounts,
    ::testing::Values(
        CountCase{"SteadyFrames", {{kMuLaw, 8000, 0ms}, {kMuLaw, 8, 0ms}, {kMuLaw, 8, 0ms}}, {1, 2}, 3, 0, 0, 0},
        // A frame 600 ms after one that lasted 1 ms ends a gap; one within its predecessor's second does not.
        CountCase{"LateFrameEndsAGap", {{kMuLaw, 8, 0ms}, {kMuLaw, 8000, 600ms}, {kMuLaw, 8, 600ms}}, {}, 3, 0, 1, 0},
        CountCase{"OtherTagsAndEmptyFramesRefused", {{kVideo, 8, 0ms}, {kMuLaw, 0, 0ms}, {kMuLaw, 8, 0ms}}, {}, 1, 2, 0, 0},
        CountCase{"EachLossOnce", {}, {1, 2, 5, 5, 1, 2, 5, 3, 0}, 0, 0, 0, 2}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fennwick_host

#include "SpeakSession.h"

#include <gtest/gtest.h>

#include <vector>

namespace fennwick_host {
namespace {

using namespace talvex::ipcapture;

constexpr uint32_t kMuLaw = MakeFourCC('7', '1', '1', 'M');
constexpr size_t kSamples = 1600;       // 200 ms at 8 kHz
constexpr uint64_t kFrameBytes = 160;   // 20 ms of G.711

// How the driver's audio output channel answers speak.
struct SenderCase {
    const char* name;
    uint32_t statusAfterStart;
    uint32_t refuseEvery; // every Nth frame refused; 0 takes all
    const char* error;    // part of speak's error; "" for none
    uint64_t framesSent;
    uint64_t framesRefused;
};

void PrintTo(const SenderCase& row, std::ostream* out) { *out << row.name; }

// A driver's sender: reports the statuses of the row, takes frames (handing
// them back to the allocator as a sent frame is) or refuses them.
class ScriptedSender : public IIPAudioSender {
public:
    ScriptedSender(const SenderCase& row, FrameAllocator& allocator) : m_row(row), m_allocator(allocator) {}
    uint32_t GetChannelCount() override { return m_running ? 1 : 0; }
    bool StartChannel(uint32_t id, uint32_t, IAudioSenderCallback* callback, IAudioFormatList* formats) override {
        m_running = formats && formats->GetCount() == 1 && formats->GetFormat(0)->GetCodec() == kMuLaw;
        callback->OnStatusChanged(id, ChannelStarting);
        callback->OnStatusChanged(id, m_status = m_row.statusAfterStart);
        return m_running;
    }
    bool StopChannel(uint32_t) override {
        ++stops;
        return true;
    }
    bool SendAudio(IAudioFrame* frame) override {
        if (frame->GetCodec() != kMuLaw || frame->GetBitRate() != 64000 || frame->GetChannelNumber() != 0)
            return false;
        if (m_row.refuseEvery != 0 && ++m_frames % m_row.refuseEvery == 0)
            return false;
        m_allocator.ReleaseAudio(frame);
        return true;
    }
    bool GetAudioFormat(uint32_t, IAudioFormat* format) override {
        format->SetCodec(kMuLaw);
        format->SetSamplesPerSecond(8000);
        format->SetBitRate(64000);
        format->SetStereo(false);
        return true;
    }
    uint32_t GetChannelStatus(uint32_t) override { return m_status; }
    bool SetChannelProperty(uint32_t, const char*, uint32_t) override { return false; }
    bool GetChannelProperty(uint32_t, const char*, uint32_t*) override { return false; }

    int stops = 0;

private:
    const SenderCase& m_row;
    FrameAllocator& m_allocator;
    bool m_running = false;
    uint32_t m_status = ChannelStopped;
    uint32_t m_frames = 0;
};

class SpeakSessionTest : public ::testing::TestWithParam<SenderCase> {};

TEST_P(SpeakSessionTest, SendsWhatTheChannelTakesAndReturnsEveryFrame) {
    const SenderCase& row = GetParam();
    FrameAllocator allocator;
    ScriptedSender sender(row, allocator);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    const SpeakResult result = SpeakSession(sender, allocator, noSignals).Run(std::vector<int16_t>(kSamples), AudioCodec::MuLaw);
    EXPECT_NE(result.error.find(row.error), std::string::npos) << result.error;
    EXPECT_EQ(result.error.empty(), row.error[0] == '\0') << result.error;
    EXPECT_EQ(result.framesSent, row.framesSent);
    EXPECT_EQ(result.framesRefused, row.framesRefused);
    EXPECT_EQ(result.bytesSent, result.framesSent * kFrameBytes);
    EXPECT_EQ(allocator.OutstandingFrames(), 0) << "a refused frame was not given back";
    EXPECT_EQ(sender.stops, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Senders, SpeakSessionTest,
    ::testing::Values(SenderCase{"ChannelRuns", ChannelRunning, 0, "", 10, 0},
                      SenderCase{"EveryThirdFrameRefused", ChannelRunning, 3, "refused 3 frame(s)", 7, 3},
                      SenderCase{"NoFormatMatched", ChannelFailed, 0, "status 4 (failed)", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fennwick_host

// Audio end to end through libfennwick.so: fennwick-host record --audio keeps
// a camsim camera's microphone beside its video in one Matroska file that
// ffmpeg decodes, both on one time line; fennwick-host speak plays a sound file
// to the camera's loudspeaker, which counts and keeps every byte.
#include "AudioUpload.h"

#include "RtspServer.h"
#include "support/CamsimHost.h"
#include "support/HostDirectory.h"
#include "support/MediaProbe.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace camsim {
namespace {

using namespace talvex::test;

constexpr double kTimeLineTolerance = 0.1; // seconds
constexpr double kVideoFrameInterval = 0.1; // camsim's clips: 10 frames per second
// The first 2 s of the clip at 8000 bytes of G.711 a second, in 20 ms frames.
constexpr uint32_t kSpokenSeconds = 2;
constexpr uint64_t kSpokenBytes = kSpokenSeconds * 8000;

class HostAudioTest : public CamsimHost {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartCamera("SNC-VB630", [this](Camera& camera) {
            camera.AddServer(std::make_unique<RtspServer>(RtspServerOptions{}, &camera));
            camera.AddServer(std::make_unique<AudioUpload>(camera, m_folder.Path() + "heard.ulaw"));
        }));
    }

    const HostDirectory m_folder;
};

TEST_F(HostAudioTest, RecordAudioKeepsTheMicrophoneOnTheVideosTimeLine) {
    const std::string out = m_folder.Path() + "out";
    const ToolResult result = RunHost("record --audio --seconds 5 --quiet --out " + out, 6);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("audio: G.711 mu-law 64.0 kbit/s"), std::string::npos) << result.output;
    const std::string file = out + "/rec.mkv";
    EXPECT_EQ(ProbeEntries(file, "stream=codec_name", "", "a:0")["codec_name"], "pcm_mulaw");
    ExpectCleanDecode(file);
    const std::vector<double> video = PacketTimes(file);
    const std::vector<double> audio = PacketTimes(file, "a:0");
    ASSERT_GE(video.size(), 2u);
    ASSERT_GE(audio.size(), 2u);
    // The audio channel starts after the video: its first second cannot lie
    // before the first picture, nor its last after the last picture.
    const double audioFrame = audio[1] - audio[0];
    EXPECT_GE(audio.front(), video.front() - kTimeLineTolerance);
    EXPECT_LE(audio.back() + audioFrame, video.back() + kVideoFrameInterval + kTimeLineTolerance);
}

TEST_F(HostAudioTest, SpeakUploadsEveryByteTheHostSent) {
    const ToolResult result =
        RunHost("speak --codec g711u --seconds " + std::to_string(kSpokenSeconds) + " --file " CAMSIM_CLIPS_DIR "/voice-16k.wav", 6);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find(std::to_string(kSpokenBytes) + " bytes sent"), std::string::npos) << result.output;
    const std::string expected = R"("audio_out": {"codec": "g711_64", "bytes": )" + std::to_string(kSpokenBytes) + "}";
    std::string state;
    EXPECT_TRUE(WaitUntil([&] {
        state = Hook("/camsim/state");
        return state.find(expected) != std::string::npos;
    })) << state;
    EXPECT_EQ(std::filesystem::file_size(m_folder.Path() + "heard.ulaw"), kSpokenBytes);
}

} // namespace
} // namespace camsim

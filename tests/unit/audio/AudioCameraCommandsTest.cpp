#include "audio/AudioCameraCommands.h"

#include "common/ConfigFile.h"

#include <gtest/gtest.h>

#include <ostream>

namespace talvex::test {
namespace {

constexpr int32_t kNoVolume = AUDIO_CONFIG::kVolumeNotSet;

struct InCase {
    const char* name;
    const char* answer;
    AudioInRequest request;
    std::optional<std::string> command;
};

void PrintTo(const InCase& value, std::ostream* out) { *out << value.name; }

class BuildAudioInCommandTest : public ::testing::TestWithParam<InCase> {};

TEST_P(BuildAudioInCommandTest, SendsOnlyWhatDiffers) {
    EXPECT_EQ(BuildAudioInCommand(GetParam().answer, GetParam().request), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BuildAudioInCommandTest,
    ::testing::Values(
        InCase{"CameraWithoutAudioIn", "AudioOut=on&RTSPPort=554", {"mic", 3, "g711_64"}, std::nullopt},
        InCase{"EverythingToSet", "AudioIn=off&MicLineSelect=line&AudInCodec=g726_32", {"mic", 3, "g711_64"},
               "AudioIn=on&MicLineSelect=mic&AudioInVolume=3&AudInCodec=g711_64"},
        InCase{"AlreadySet", "AudioIn=on&MicLineSelect=mic&AudioInVolume=3&AudInCodec=g726_24",
               {"mic", 3, "g726_24"}, ""},
        InCase{"LineSourceSendsNoVolume", "AudioIn=on&MicLineSelect=mic&AudInCodec=g711_64", {"line", 5, "g711_64"},
               "MicLineSelect=line"},
        InCase{"VolumeComparedWhole", "AudioIn=on&MicLineSelect=mic&AudioInVolume=10&AudInCodec=g711_64",
               {"mic", 1, "g711_64"}, "AudioInVolume=1"},
        InCase{"HttpStreamFollowsTheCamerasMic", "MicLineSelect=mic&AudioIn=on&AudInCodec=g711_64",
               {"", 2, "g711_64", true}, "AudioInVolume=2"},
        InCase{"RtspTrackIgnoresTheCamerasMic", "MicLineSelect=mic&AudioIn=on&AudInCodec=g711_64",
               {"", 2, "g711_64", false}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct OutCase {
    const char* name;
    const char* answer;
    int32_t volume;
    std::optional<std::string> command;
};

void PrintTo(const OutCase& value, std::ostream* out) { *out << value.name; }

class BuildAudioOutCommandTest : public ::testing::TestWithParam<OutCase> {};

TEST_P(BuildAudioOutCommandTest, SendsOnlyWhatDiffers) {
    EXPECT_EQ(BuildAudioOutCommand(GetParam().answer, GetParam().volume), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BuildAudioOutCommandTest,
    ::testing::Values(OutCase{"CameraWithoutAudioOut", "AudioIn=on", 3, std::nullopt},
                      OutCase{"OnAndNoVolume", "AudioOut=on", kNoVolume, ""},
                      OutCase{"VolumeDiffers", "AudioOut=off&AudioOutVolume=2", 7, "AudioOut=on&AudioOutVolume=7"},
                      OutCase{"VolumeSet", "AudioOut=on&AudioOutVolume=7", 7, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex::test

#include "audio/AudioFormat.h"

#include "audio/AudioCameraCommands.h"
#include "audio/CAudioCapabilities.h"
#include "common/ConfigFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace talvex::test {
namespace {

struct CodecCase {
    const char* name;
    const char* configured;
    const char* deviceList;
    const char* chosenName;
    uint32_t fourcc;
    uint32_t bitrate;
};

void PrintTo(const CodecCase& value, std::ostream* out) { *out << value.name; }

class SelectAudioCodecTest : public ::testing::TestWithParam<CodecCase> {};

TEST_P(SelectAudioCodecTest, ChoosesNameTagAndRate) {
    const CodecCase& c = GetParam();
    const AudioCodecChoice choice = SelectAudioCodec(c.configured, c.deviceList);
    EXPECT_EQ(choice.name, c.chosenName);
    EXPECT_EQ(choice.format.fourcc, c.fourcc);
    EXPECT_EQ(choice.format.bitrate, c.bitrate);
    EXPECT_EQ(choice.format.samplesPerSecond, 8000u);
    EXPECT_EQ(choice.format.isStereo, 0);
}

constexpr const char* kInputList = "g711_64/g726_40/g726_32/g726_24/g726_16/aac16_64";

INSTANTIATE_TEST_SUITE_P(
    Configurations, SelectAudioCodecTest,
    ::testing::Values(
        CodecCase{"ListedG726", "g726_24", kInputList, "g726_24", kFourccG726, 24000},
        CodecCase{"UnlistedG726", "g726_24", "g711_64/g726_32", "g711_64", kFourccG711MuLaw, 64000},
        CodecCase{"EmptyName", "", kInputList, "g711_64", kFourccG711MuLaw, 64000},
        CodecCase{"ListedAacIsNotChosen", "aac16_64", kInputList, "g711_64", kFourccG711MuLaw, 64000},
        CodecCase{"G726WithoutRate", "g726_", "g711_64/g726_", "g726_", kFourccG726, 32000},
        CodecCase{"G726WithThreePartsIsNotChosen", "g726_24_x", "g726_24_x", "g711_64", kFourccG711MuLaw, 64000},
        CodecCase{"PrefixOfAnEntryIsNotChosen", "g726_2", kInputList, "g711_64", kFourccG711MuLaw, 64000},
        CodecCase{"NoDeviceList", "g726_24", "", "g711_64", kFourccG711MuLaw, 64000}),
    [](const auto& info) { return std::string(info.param.name); });

struct CapabilityCase {
    const char* name;
    const char* text;
    uint32_t count;
    bool stereo;
};

void PrintTo(const CapabilityCase& value, std::ostream* out) { *out << value.name; }

class CAudioCapabilitiesTest : public ::testing::TestWithParam<CapabilityCase> {};

TEST_P(CAudioCapabilitiesTest, ReadsCountAndStereo) {
    const CAudioCapabilities capabilities = CAudioCapabilities::FromText(GetParam().text);
    EXPECT_EQ(capabilities.Count, GetParam().count);
    EXPECT_EQ(capabilities.IsStereo, GetParam().stereo);
}

INSTANTIATE_TEST_SUITE_P(Texts, CAudioCapabilitiesTest,
                         ::testing::Values(CapabilityCase{"MonoChannel", "Count=1; IsStereo=0", 1, false},
                                           CapabilityCase{"StereoOnlyForOne", "Count=2; IsStereo=1", 2, true},
                                           CapabilityCase{"StereoTwoIsNotStereo", "Count=2; IsStereo=2", 2, false},
                                           CapabilityCase{"MissingStereo", "Count=3", 0, false},
                                           CapabilityCase{"OtherWords", "Channels=1; IsStereo=0", 0, false},
                                           CapabilityCase{"Empty", "", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

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
        InCase{"EverythingToSet", "AudioIn=off&MicLineSelect=line&AudInCodec=g726_32", {"mic", 3, "g711_64"}, "AudioIn=on&MicLineSelect=mic&AudioInVolume=3&AudInCodec=g711_64"},
        InCase{"AlreadySet", "AudioIn=on&MicLineSelect=mic&AudioInVolume=3&AudInCodec=g726_24", {"mic", 3, "g726_24"}, ""},
        InCase{"LineSourceSendsNoVolume", "AudioIn=on&MicLineSelect=mic&AudInCodec=g711_64", {"line", 5, "g711_64"}, "MicLineSelect=line"},
        InCase{"VolumeComparedWhole", "AudioIn=on&MicLineSelect=mic&AudioInVolume=10&AudInCodec=g711_64", {"mic", 1, "g711_64"}, "AudioInVolume=1"},
        InCase{"HttpStreamFollowsTheCamerasMic", "MicLineSelect=mic&AudioIn=on&AudInCodec=g711_64", {"", 2, "g711_64", true}, "AudioInVolume=2"},
        InCase{"RtspTrackIgnoresTheCamerasMic", "MicLineSelect=mic&AudioIn=on&AudInCodec=g711_64", {"", 2, "g711_64", false}, ""}),
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

// How the driver makes its audio objects from properties 101 and 102, hands
// them out through slots 10 and 11, picks the input channel kind and removes
// the objects at close.
#include "driver/CSonyIPCaptureDriver.h"

#include "audio/CAudioCaptureChannel.h"
#include "audio/CAudioCaptureHTTPChannel.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace talvex {
namespace {

using fennwick_test::FakeDeviceSettings;
using fennwick_test::RecordingDebugSink;

struct AudioPropertiesCase {
    const char* name;
    std::optional<std::string> input;
    std::optional<std::string> output;
    bool opens;
    bool capture;
    bool sender;
};

class SonyDriverAudioObjects : public ::testing::TestWithParam<AudioPropertiesCase> {};

TEST_P(SonyDriverAudioObjects, FollowTheHostsAudioCapabilities) {
    const AudioPropertiesCase& c = GetParam();
    RecordingDebugSink sink;
    FakeDeviceSettings settings;
    if (c.input)
        settings.parameters[101] = *c.input;
    if (c.output)
        settings.parameters[102] = *c.output;
    CSonyIPCaptureDriver driver(HostVersion{6, 3, 0, 0});
    EXPECT_EQ(driver.Open(&sink, nullptr, &settings), c.opens);
    EXPECT_EQ(driver.GetAudioCapture() != nullptr, c.capture);
    EXPECT_EQ(driver.GetAudioSender() != nullptr, c.sender);
    driver.Close();
    EXPECT_EQ(driver.GetAudioCapture(), nullptr);
    EXPECT_EQ(driver.GetAudioSender(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Properties, SonyDriverAudioObjects,
    ::testing::Values(AudioPropertiesCase{"NoAudio", std::nullopt, std::nullopt, true, false, false},
                      AudioPropertiesCase{"InputAndOutput", "Count=1; IsStereo=0", "Count=1; IsStereo=0", true, true, true},
                      AudioPropertiesCase{"InputOnly", "Count=2; IsStereo=0", std::nullopt, true, true, false},
                      AudioPropertiesCase{"OutputWithoutInputChannels", "Count=0; IsStereo=0", "Count=1; IsStereo=0",
                                          true, false, true},
                      AudioPropertiesCase{"AskedButNoChannels", "Count=0; IsStereo=0", "Count=0; IsStereo=0", false,
                                          false, false},
                      AudioPropertiesCase{"UnreadableText", "two channels", std::nullopt, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct InputKindCase {
    const char* name;
    const char* generation;
    const char* operationMode;
    bool http;
};

class SonyDriverAudioInputKind : public ::testing::TestWithParam<InputKindCase> {};

TEST_P(SonyDriverAudioInputKind, HttpStreamOnlyInFullsizeModeOfGenerationSeven) {
    RecordingDebugSink sink;
    FakeDeviceSettings settings;
    settings.parameters[2] = GetParam().generation;
    // The host hands properties over up to the first it does not have.
    for (uint32_t id = 3; id < 18; ++id)
        settings.parameters[id] = "";
    settings.parameters[18] = GetParam().operationMode;
    CSonyIPCaptureDriver driver(HostVersion{6, 3, 0, 0});
    ASSERT_TRUE(driver.Open(&sink, nullptr, &settings));
    const std::unique_ptr<IAudioInputChannel> channel(driver.CreateAudioInputChannel(1, 0, nullptr, nullptr));
    EXPECT_EQ(dynamic_cast<CAudioCaptureHTTPChannel*>(channel.get()) != nullptr, GetParam().http);
    EXPECT_EQ(dynamic_cast<CAudioCaptureChannel*>(channel.get()) != nullptr, !GetParam().http);
}

INSTANTIATE_TEST_SUITE_P(Devices, SonyDriverAudioInputKind,
                         ::testing::Values(InputKindCase{"FullsizeGeneration7", "7", "fullsize", true},
                                           InputKindCase{"CapitalFullsize", "7", "Fullsize", false},
                                           InputKindCase{"FullsizeGeneration6", "6", "fullsize", false},
                                           InputKindCase{"OtherMode", "7", "normal", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

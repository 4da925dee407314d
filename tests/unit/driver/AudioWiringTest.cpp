// How the driver makes its audio objects from properties 101 and 102, hands
// them out through slots 10 and 11 and removes them at close. (The input
// channel kind follows the same "fullsize" test as the video channels.)
#include "driver/CSonyIPCaptureDriver.h"

#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

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

void PrintTo(const AudioPropertiesCase& value, std::ostream* out) { *out << value.name; }

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

} // namespace
} // namespace talvex

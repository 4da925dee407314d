// The camera driver: its open line, the choice of video channel class, and the
// device objects it makes from the host's properties (audio 101/102, PTZ 4,
// motion by host version, digital I/O), hands out and removes at close.
#include "driver/CSonyIPCaptureDriver.h"

#include "channels/CH264ChannelRTP.h"
#include "channels/CH264ChannelRTSP.h"
#include "channels/CMJPEGChannelHTTP.h"
#include "channels/CMJPEGChannelRTSP.h"
#include "channels/CMPEG4ChannelRTP.h"
#include "channels/CMPEG4ChannelRTSP.h"
#include "events/CSonyMotionChannel.h"
#include "unit/driver/DriverFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

namespace talvex {
namespace {

using fennwick_test::FakeDeviceSettings;

class SonyDriver : public test::DriverFixture {
protected:
    // Opens a device of this generation (and operation mode) and asks for a channel of codecType.
    std::unique_ptr<ICameraChannel> Create(const std::string& generation, uint32_t codecType,
                                           const std::string& operationMode = "", uint32_t defaultCodec = 3) {
        settings = FakeDeviceSettings();
        settings.parameters[2] = generation;
        settings.codecType = defaultCodec;
        for (uint32_t id = 3; id < 18 && !operationMode.empty(); ++id)
            settings.parameters[id] = "";
        settings.parameters[18] = operationMode;
        EXPECT_TRUE(Open());
        return std::unique_ptr<ICameraChannel>(driver->CreateVideoChannel(0, &callback, codecType));
    }

    template <class T>
    static bool Is(const std::unique_ptr<ICameraChannel>& channel) {
        return dynamic_cast<T*>(channel.get()) != nullptr;
    }
};

// The pieces that depend on the properties; the whole line is checked end to end.
TEST_F(SonyDriver, OpenedLinePiecesFollowTheProperties) {
    const struct {
        uint32_t property;
        const char* value;
        const char* piece; // nullptr: no line holds absent
        const char* absent;
    } cases[] = {
        {3, "(none)", nullptr, "FW:"},
        {2, "1", " (1st generation)", nullptr},
        {2, "2", " (2nd generation)", nullptr},
        {2, "3", " (3rd generation)", nullptr},
        {2, "4", " (4th generation)", nullptr},
        {2, "11", " (11th generation)", nullptr},
        {2, "22", " (22th generation)", nullptr},
        {2, "3a", " (0th generation)", nullptr},
        {2, "+3", " (0th generation)", nullptr},
        {11, "1", ", Edge Storage Function is On)", nullptr},
        {11, "+1", ", Edge Storage Function is On)", nullptr},
        {11, "0", nullptr, "Edge Storage"},
        {11, "2", nullptr, "Edge Storage"},
        {11, "yes", nullptr, "Edge Storage"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE("property " + std::to_string(test.property) + " = " + test.value);
        settings = FakeDeviceSettings();
        for (uint32_t id = 3; id < 11 && test.property == 11; ++id)
            settings.parameters[id] = "";
        settings.parameters[test.property] = test.value;
        sink.Clear();
        driver = std::make_unique<CSonyIPCaptureDriver>(test::kCurrentHost);
        ASSERT_TRUE(driver->Open(&sink, nullptr, &settings));
        const auto lines = sink.LinesStartingWith("DRIVER IS OPENED");
        ASSERT_EQ(lines.size(), 1u);
        const std::string& line = lines[0].text;
        EXPECT_TRUE(!test.piece || line.find(test.piece) != std::string::npos) << line;
        EXPECT_TRUE(!test.absent || line.find(test.absent) == std::string::npos) << line;
        EXPECT_TRUE(line.starts_with("DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630")) << line;
    }
}

TEST_F(SonyDriver, UnreadableGenerationBecomesZeroAndNoModelNoOpenLine) {
    settings.parameters[2] = "3a";
    settings.model = "";
    ASSERT_TRUE(driver->Open(&sink, nullptr, &settings));
    EXPECT_EQ(driver->GetDeviceInfo()->generation, 0u);
    EXPECT_TRUE(sink.LinesStartingWith("DRIVER IS OPENED").empty());
}

struct AudioPropertiesCase {
    const char* name;
    std::optional<std::string> input;
    std::optional<std::string> output;
    bool opens;
    bool capture;
    bool sender;
};

void PrintTo(const AudioPropertiesCase& value, std::ostream* out) { *out << value.name; }

class SonyDriverAudioObjects : public SonyDriver, public ::testing::WithParamInterface<AudioPropertiesCase> {};

TEST_P(SonyDriverAudioObjects, FollowTheHostsAudioCapabilities) {
    const AudioPropertiesCase& c = GetParam();
    if (c.input)
        settings.parameters[101] = *c.input;
    if (c.output)
        settings.parameters[102] = *c.output;
    EXPECT_EQ(driver->Open(&sink, nullptr, &settings), c.opens);
    EXPECT_EQ(driver->GetAudioCapture() != nullptr, c.capture);
    EXPECT_EQ(driver->GetAudioSender() != nullptr, c.sender);
    driver->Close();
    EXPECT_EQ(driver->GetAudioCapture(), nullptr);
    EXPECT_EQ(driver->GetAudioSender(), nullptr);
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

TEST_F(SonyDriver, MotionChannelHostsBefore58GetNoChannelAndOneWarning) {
    const struct {
        HostVersion version;
        bool motion;
    } cases[] = {
        {{5, 7, 3, 0}, false}, {{4, 20, 0, 0}, false}, {{5, 8, 0, 0}, true}, {{6, 0, 0, 0}, true}, {{5, 12, 0, 0}, true}};
    for (const auto& test : cases) {
        const std::string version = std::to_string(test.version.major) + "." + std::to_string(test.version.minor) +
                                    "." + std::to_string(test.version.build);
        SCOPED_TRACE(version);
        ASSERT_TRUE(Open(test.version));
        std::unique_ptr<IMotionChannel> channel(driver->CreateMotionChannel(0, &callback));
        const auto warnings = sink.LinesStartingWith("talvex::CSonyIPCaptureDriver::CreateMotionChannel()");
        if (test.motion) {
            EXPECT_TRUE(warnings.empty());
            ASSERT_NE(dynamic_cast<CSonyMotionChannel*>(channel.get()), nullptr);
            EXPECT_EQ(channel->GetChannel(), 0u);
            EXPECT_EQ(channel->GetCallback(), &callback);
        } else {
            EXPECT_EQ(channel, nullptr);
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_EQ(warnings[0].level, 2u);
            EXPECT_NE(warnings[0].text.find("(" + version + ")"), std::string::npos) << warnings[0].text;
            EXPECT_NE(warnings[0].text.find("motion detection"), std::string::npos) << warnings[0].text;
        }
    }
}

TEST_F(SonyDriver, DigitalIOAndPtzFollowTheHostUntilClose) {
    settings.inputs = 3;
    settings.outputs = 2;
    settings.parameters[3] = "1.0";
    settings.parameters[4] = "Pan=1;Tilt=1;Zoom=1;Preset=16";
    ASSERT_TRUE(driver->Open(&sink, nullptr, &settings));
    EXPECT_EQ(driver->GetPtzCapabilities()->ToText(), "Pan=1; Tilt=1; Zoom=1; Focus=0; Iris=0; Preset=16");
    ipcapture::IIPPTZApi* ptz = driver->GetPTZDriverEx()->GetPTZApi(0);
    ASSERT_NE(ptz, nullptr);
    EXPECT_TRUE(ptz->PTZ_IsSupported());
    EXPECT_EQ(ptz->PTZ_FocusNear(3), -19);
    ipcapture::ICaptureIOApi* io = driver->GetDigitalIO();
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->GetInputCount(), 3u);
    EXPECT_EQ(io->GetOutputCount(), 2u);
    EXPECT_FALSE(io->SetCallback(nullptr));
    driver->Close();
    EXPECT_EQ(driver->GetDigitalIO(), nullptr);
    EXPECT_EQ(driver->GetPTZDriver(), nullptr);
    EXPECT_EQ(driver->GetPTZDriverEx(), nullptr);
}

TEST_F(SonyDriver, WithoutPropertyFourTheCameraOffersNoPtz) {
    ASSERT_TRUE(driver->Open(&sink, nullptr, &settings));
    ipcapture::IIPPTZApi* ptz = driver->GetPTZDriver()->GetPTZ(0);
    ASSERT_NE(ptz, nullptr);
    EXPECT_FALSE(ptz->PTZ_IsSupported());
    EXPECT_EQ(ptz->PTZ_Move(0, 8), -19);
}

// A generation that does not read takes the HTTP branch.
TEST_F(SonyDriver, VideoChannelBelowGenerationFiveStreamsStartOverHttp) {
    EXPECT_TRUE(Is<CH264ChannelRTP>(Create("4", 3)));
    EXPECT_TRUE(Is<CMPEG4ChannelRTP>(Create("4", 2)));
    EXPECT_TRUE(Is<CMJPEGChannelHTTP>(Create("3", 1)));
    EXPECT_TRUE(Is<CH264ChannelRTP>(Create("3a", 3)));
    EXPECT_EQ(Create("4", 4), nullptr);
}

TEST_F(SonyDriver, VideoChannelFromGenerationFiveStreamsUseRtsp) {
    EXPECT_TRUE(Is<CH264ChannelRTSP>(Create("5", 3)));
    EXPECT_TRUE(Is<CMPEG4ChannelRTSP>(Create("6", 2)));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("6", 1)));
    EXPECT_EQ(Create("6", 4), nullptr);
    EXPECT_EQ(driver->CreateVideoChannel(0, nullptr, 3), nullptr); // no callback
}

TEST_F(SonyDriver, VideoChannelFullsizeModeOfGenerationSevenPullsJpegOverHttp) {
    EXPECT_TRUE(Is<CMJPEGChannelHTTP>(Create("7", 1, "fullsize")));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("7", 1, "Fullsize")));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("6", 1, "fullsize")));
    EXPECT_TRUE(Is<CH264ChannelRTSP>(Create("7", 3, "fullsize")));
}

TEST_F(SonyDriver, VideoChannelCodecZeroAndFiveMeanTheDeviceDefault) {
    EXPECT_TRUE(Is<CMPEG4ChannelRTSP>(Create("6", 0, "", 2)));
    EXPECT_TRUE(Is<CMJPEGChannelRTSP>(Create("6", 5, "", 1)));
    EXPECT_TRUE(Is<CH264ChannelRTP>(Create("4", 5, "", 3)));
}

} // namespace
} // namespace talvex

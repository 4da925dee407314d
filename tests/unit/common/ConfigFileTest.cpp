#include "common/ConfigFile.h"

#include "common/CXMLParser.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace talvex {
namespace {

// Both records in one line, so that a row states every field the file decides.
std::string Describe(const VIDEO_CONFIG& v, const AUDIO_CONFIG& a) {
    const auto flag = [](bool on) { return on ? '+' : '-'; };
    const auto volume = [](int32_t x) { return x == AUDIO_CONFIG::kVolumeNotSet ? "unset" : std::to_string(x); };
    std::ostringstream out;
    out << "rtp" << v.rtpMode << " 2nd" << flag(v.disableSecondStream) << " mask" << flag(v.privacyMasking) << " cbr"
        << flag(v.constantBitRate) << " b" << flag(v.allowH264BFrame) << " | rtp" << a.rtpMode << " in "
        << a.inputCodec << " '" << a.inputSource << "' " << volume(a.inputVolume) << " out " << a.outputCodec << " "
        << volume(a.outputVolume);
    return out.str();
}

constexpr const char* kDefaults = "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 'mic' unset out g711_64 unset";
// A file whose default section is there but says nothing: the audio source is empty.
constexpr const char* kEmptySection = "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 '' unset out g711_64 unset";

std::string Default(const std::string& body) { return "<Configuration><Default>" + body + "</Default></Configuration>"; }
std::string Input(const std::string& body) { return Default("<AudioInputChannel>" + body + "</AudioInputChannel>"); }

const std::string kDeviceSections = R"(<Configuration>
  <Default>
    <RTPMode>rtpOverRTSP</RTPMode>
    <VideoChannel>
      <DisableSecondStream>No</DisableSecondStream><PrivacyMasking>No</PrivacyMasking><BitrateMode>CBR</BitrateMode>
    </VideoChannel>
    <AudioInputChannel><Codec>g711_64</Codec><AudioSource>line</AudioSource></AudioInputChannel>
    <AudioOutputChannel><Codec>g726_32</Codec></AudioOutputChannel>
  </Default>
  <Device address="192.168.0.10" port="80">
    <RTPMode>RTPoverTCP</RTPMode>
    <VideoChannel>
      <PrivacyMasking>Yes</PrivacyMasking><BitrateMode></BitrateMode><AllowH264BFrame>TRUE</AllowH264BFrame>
    </VideoChannel>
    <AudioInputChannel><Codec>aac_64</Codec></AudioInputChannel>
  </Device>
  <Device address="192.168.0.10" port="8080"><RTPMode>RTPoverUDP</RTPMode></Device>
</Configuration>)";

struct ConfigCase {
    const char* name;
    std::string file; // empty: no file at all
    std::string expected;
    const char* address = "192.168.0.10";
    uint16_t port = 80;
};

void PrintTo(const ConfigCase& c, std::ostream* out) { *out << c.name; }

class ConfigFile : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigFile, GivesTheseRecords) {
    const ConfigCase& c = GetParam();
    test::HostDirectory host;
    if (!c.file.empty())
        std::ofstream(host.Path() + "Fennwick.xml") << c.file;
    const DEVICE_INFO device(c.address, c.port, "admin", "admin");
    EXPECT_EQ(Describe(ReadVideoConfig("Fennwick", host.Path(), device), ReadAudioConfig("Fennwick", host.Path(), device)),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigFile,
    ::testing::Values(
        ConfigCase{"Missing", "", kDefaults},
        ConfigCase{"Malformed", "<Configuration><Default><RTPMode>RTPoverTCP</RTPMode></Default>", kDefaults},
        // The device section overrides key by key; an empty value counts as absent.
        ConfigCase{"DeviceSection", kDeviceSections,
                   "rtp1 2nd- mask+ cbr+ b+ | rtp1 in aac_64 'line' unset out g726_32 unset"},
        ConfigCase{"SameAddressOtherPort", kDeviceSections,
                   "rtp0 2nd- mask- cbr+ b- | rtp0 in g711_64 'line' unset out g726_32 unset", "192.168.0.10", 8080},
        ConfigCase{"OtherAddress", kDeviceSections,
                   "rtp2 2nd- mask- cbr+ b- | rtp2 in g711_64 'line' unset out g726_32 unset", "192.168.0.11"},
        // An absent codec keeps the default codec; an absent source empties it.
        ConfigCase{"EmptyDefault", Default(""), kEmptySection},
        ConfigCase{"RtpModeAnyCase", Default("<RTPMode>rtpovertcp</RTPMode>"),
                   "rtp1 2nd+ mask+ cbr- b- | rtp1 in g711_64 '' unset out g711_64 unset"},
        ConfigCase{"RtpModeWithSpaces", Default("<RTPMode>RTP over TCP</RTPMode>"), kEmptySection},
        ConfigCase{"RtpModeShortWord", Default("<RTPMode>TCP</RTPMode>"), kEmptySection},
        // An unknown yes/no word keeps the default.
        ConfigCase{"YesNoAndBitrateWords",
                   Default("<VideoChannel><DisableSecondStream>false</DisableSecondStream><PrivacyMasking>maybe"
                           "</PrivacyMasking><BitrateMode>vbr</BitrateMode><AllowH264BFrame>yes</AllowH264BFrame>"
                           "</VideoChannel>"),
                   "rtp0 2nd- mask+ cbr- b+ | rtp0 in g711_64 '' unset out g711_64 unset"},
        ConfigCase{"VolumesClampedToTen",
                   Default("<AudioInputChannel><Volume>25</Volume></AudioInputChannel>"
                           "<AudioOutputChannel><Volume>-40</Volume></AudioOutputChannel>"),
                   "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 '' 10 out g711_64 -10"},
        ConfigCase{"VolumePlus", Input("<AudioSource>mic</AudioSource><Volume>+7</Volume>"),
                   "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 'mic' 7 out g711_64 unset"},
        ConfigCase{"VolumeWithUnit", Input("<Volume>5dB</Volume>"),
                   "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 '' 0 out g711_64 unset"},
        ConfigCase{"VolumeBeyond32Bits", Input("<Volume>99999999999</Volume>"),
                   "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 '' 0 out g711_64 unset"},
        ConfigCase{"VolumeEmpty", Input("<Volume></Volume>"), kEmptySection},
        ConfigCase{"SourceUpperCase", Input("<AudioSource>LINE</AudioSource>"),
                   "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 'line' unset out g711_64 unset"},
        ConfigCase{"SourceUnknownWord", Input("<AudioSource>speaker</AudioSource>"),
                   "rtp0 2nd+ mask+ cbr- b- | rtp0 in g711_64 'mic' unset out g711_64 unset"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigFilePath, JoinsDirectoryAndDriverName) {
    EXPECT_EQ(ConfigFilePath("", "/opt/host/"), "");
    EXPECT_EQ(ConfigFilePath("Fennwick", ""), "Fennwick.xml");
    EXPECT_EQ(ConfigFilePath("Fennwick", "/opt/host/"), "/opt/host/Fennwick.xml");
    EXPECT_EQ(ConfigFilePath("Fennwick", "/opt/host"), "/opt/host/Fennwick.xml");
}

TEST(CXMLParser, LoadsOnceAndReadsPaths) {
    test::HostDirectory host;
    const std::string path = host.Path() + "Fennwick.xml";
    std::ofstream(path) << R"(<Configuration><Device address="10.0.0.1" port="80"><Name>  front
door </Name><Nested><A>x</A><B>y</B></Nested></Device></Configuration>)";
    CXMLParser parser;
    EXPECT_EQ(parser.GetValue("Configuration"), "");
    EXPECT_FALSE(parser.Load(""));
    EXPECT_FALSE(parser.Load(host.Path() + "absent.xml"));
    EXPECT_FALSE(parser.Load(host.Path()));
    ASSERT_TRUE(parser.Load(path));
    EXPECT_TRUE(parser.IsLoaded());
    EXPECT_FALSE(parser.Load(path)); // already loaded
    EXPECT_EQ(parser.GetValue("Configuration/Device[@address=\"10.0.0.1\"][@port=\"80\"]/Name"), "front\ndoor");
    EXPECT_EQ(parser.GetValue("Configuration/Device/Nested"), "xy");
    EXPECT_EQ(parser.GetValue("Configuration/Device/@port"), "80");
    EXPECT_EQ(parser.GetValue("Configuration/Device/Missing"), "");
    EXPECT_EQ(parser.GetValue("Configuration/Device[@address=\"a\"b\"]"), ""); // not valid XPath
    parser.Unload();
    EXPECT_EQ(parser.GetValue("Configuration/Device/Name"), "");
    EXPECT_TRUE(parser.Load(path));
}

} // namespace
} // namespace talvex

#include "common/ConfigFile.h"

#include "common/CXMLParser.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace talvex {
namespace {


// A private host directory holding "Fennwick.xml" with the given content.
class ConfigFileTest : public ::testing::Test {
protected:
    void Write(const std::string& content) { std::ofstream(Directory() + "Fennwick.xml") << content; }
    std::string Directory() const { return m_host.Path(); }
    VIDEO_CONFIG Video(const DEVICE_INFO& device) const { return ReadVideoConfig("Fennwick", Directory(), device); }
    AUDIO_CONFIG Audio(const DEVICE_INFO& device) const { return ReadAudioConfig("Fennwick", Directory(), device); }

    DEVICE_INFO m_device{"192.168.0.10", 80, "admin", "admin"};

private:
    test::HostDirectory m_host;
};

void ExpectDefaultVideo(const VIDEO_CONFIG& config) {
    EXPECT_TRUE(config.disableSecondStream);
    EXPECT_TRUE(config.privacyMasking);
    EXPECT_FALSE(config.constantBitRate);
    EXPECT_EQ(config.rtpMode, uint32_t(kRtpOverUdp));
    EXPECT_FALSE(config.allowH264BFrame);
}

void ExpectDefaultAudio(const AUDIO_CONFIG& config) {
    EXPECT_EQ(config.inputCodec, "g711_64");
    EXPECT_EQ(config.inputSource, "mic");
    EXPECT_EQ(config.inputVolume, AUDIO_CONFIG::kVolumeNotSet);
    EXPECT_EQ(config.outputCodec, "g711_64");
    EXPECT_EQ(config.outputVolume, AUDIO_CONFIG::kVolumeNotSet);
    EXPECT_EQ(config.rtpMode, uint32_t(kRtpOverUdp));
}

TEST(ConfigFilePath, JoinsDirectoryAndDriverName) {
    EXPECT_EQ(ConfigFilePath("", "/opt/host/"), "");
    EXPECT_EQ(ConfigFilePath("Fennwick", ""), "Fennwick.xml");
    EXPECT_EQ(ConfigFilePath("Fennwick", "/opt/host/"), "/opt/host/Fennwick.xml");
    EXPECT_EQ(ConfigFilePath("Fennwick", "/opt/host"), "/opt/host/Fennwick.xml");
}

TEST_F(ConfigFileTest, MissingFileGivesDefaults) {
    ExpectDefaultVideo(Video(m_device));
    ExpectDefaultAudio(Audio(m_device));
    ExpectDefaultVideo(ReadVideoConfig("", Directory(), m_device));
}

TEST_F(ConfigFileTest, MalformedFileGivesDefaults) {
    Write("<Configuration><Default><RTPMode>RTPoverTCP</RTPMode></Default>");
    ExpectDefaultVideo(Video(m_device));
    ExpectDefaultAudio(Audio(m_device));
}

TEST_F(ConfigFileTest, DeviceSectionOverridesDefaultKeyByKey) {
    Write(R"(<Configuration>
  <Default>
    <RTPMode>RTPoverRTSP</RTPMode>
    <VideoChannel>
      <DisableSecondStream>No</DisableSecondStream>
      <PrivacyMasking>No</PrivacyMasking>
      <BitrateMode>CBR</BitrateMode>
    </VideoChannel>
  </Default>
  <Device address="192.168.0.10" port="80">
    <RTPMode>RTPoverTCP</RTPMode>
    <VideoChannel>
      <PrivacyMasking>Yes</PrivacyMasking>
      <BitrateMode></BitrateMode>
      <AllowH264BFrame>TRUE</AllowH264BFrame>
    </VideoChannel>
  </Device>
  <Device address="192.168.0.10" port="8080">
    <RTPMode>RTPoverUDP</RTPMode>
  </Device>
</Configuration>)");
    const VIDEO_CONFIG config = Video(m_device);
    EXPECT_EQ(config.rtpMode, uint32_t(kRtpOverTcp));  // device
    EXPECT_FALSE(config.disableSecondStream);          // default: the device has no such key
    EXPECT_TRUE(config.privacyMasking);                // device
    EXPECT_TRUE(config.constantBitRate);               // empty in the device counts as absent
    EXPECT_TRUE(config.allowH264BFrame);               // device, any case

    DEVICE_INFO otherPort("192.168.0.10", 8080, "", "");
    EXPECT_EQ(Video(otherPort).rtpMode, uint32_t(kRtpOverUdp));
    DEVICE_INFO otherAddress("192.168.0.11", 80, "", "");
    EXPECT_EQ(Video(otherAddress).rtpMode, uint32_t(kRtpOverRtsp));
}

TEST_F(ConfigFileTest, RtpModeWords) {
    const auto modeFor = [&](const std::string& word) {
        Write("<Configuration><Default><RTPMode>" + word + "</RTPMode></Default></Configuration>");
        return Video(m_device).rtpMode;
    };
    EXPECT_EQ(modeFor("rtpovertcp"), uint32_t(kRtpOverTcp));
    EXPECT_EQ(modeFor("RTPOVERRTSP"), uint32_t(kRtpOverRtsp));
    EXPECT_EQ(modeFor("RTPoverUDP"), uint32_t(kRtpOverUdp));
    EXPECT_EQ(modeFor("RTP over TCP"), uint32_t(kRtpOverUdp));
    EXPECT_EQ(modeFor("TCP"), uint32_t(kRtpOverUdp));
    EXPECT_EQ(modeFor(""), uint32_t(kRtpOverUdp));
}

TEST_F(ConfigFileTest, YesNoAndBitrateWords) {
    Write(R"(<Configuration><Default><VideoChannel>
      <DisableSecondStream>false</DisableSecondStream>
      <PrivacyMasking>maybe</PrivacyMasking>
      <BitrateMode>vbr</BitrateMode>
      <AllowH264BFrame>yes</AllowH264BFrame>
    </VideoChannel></Default></Configuration>)");
    const VIDEO_CONFIG config = Video(m_device);
    EXPECT_FALSE(config.disableSecondStream);
    EXPECT_TRUE(config.privacyMasking); // an unknown word keeps the default
    EXPECT_FALSE(config.constantBitRate);
    EXPECT_TRUE(config.allowH264BFrame);
}

TEST_F(ConfigFileTest, AudioVolumesAreClamped) {
    Write(R"(<Configuration><Default>
      <AudioInputChannel><Volume>25</Volume></AudioInputChannel>
      <AudioOutputChannel><Volume>-40</Volume></AudioOutputChannel>
    </Default></Configuration>)");
    const AUDIO_CONFIG config = Audio(m_device);
    EXPECT_EQ(config.inputVolume, 10);
    EXPECT_EQ(config.outputVolume, -10);
}

TEST_F(ConfigFileTest, AudioVolumeText) {
    const auto volumeFor = [&](const std::string& text) {
        Write("<Configuration><Default><AudioInputChannel><AudioSource>mic</AudioSource><Volume>" + text +
              "</Volume></AudioInputChannel></Default></Configuration>");
        return Audio(m_device).inputVolume;
    };
    EXPECT_EQ(volumeFor("+7"), 7);
    EXPECT_EQ(volumeFor("-3"), -3);
    EXPECT_EQ(volumeFor("5dB"), 0);
    EXPECT_EQ(volumeFor("99999999999"), 0); // does not fit: not a number
    EXPECT_EQ(volumeFor(""), AUDIO_CONFIG::kVolumeNotSet);
}

TEST_F(ConfigFileTest, AudioSourceWords) {
    const auto sourceFor = [&](const std::string& element) {
        Write("<Configuration><Default><AudioInputChannel>" + element +
              "</AudioInputChannel></Default></Configuration>");
        return Audio(m_device).inputSource;
    };
    EXPECT_EQ(sourceFor("<AudioSource>LINE</AudioSource>"), "line");
    EXPECT_EQ(sourceFor("<AudioSource>Mic</AudioSource>"), "mic");
    EXPECT_EQ(sourceFor("<AudioSource>speaker</AudioSource>"), "mic");
    EXPECT_EQ(sourceFor("<Volume>1</Volume>"), "");
}

TEST_F(ConfigFileTest, AudioCodecsAndRtpModeFromDeviceSection) {
    Write(R"(<Configuration>
  <Default>
    <AudioInputChannel><Codec>g711_64</Codec><AudioSource>line</AudioSource></AudioInputChannel>
    <AudioOutputChannel><Codec>g726_32</Codec></AudioOutputChannel>
  </Default>
  <Device address="192.168.0.10" port="80">
    <RTPMode>rtpoverrtsp</RTPMode>
    <AudioInputChannel><Codec>aac_64</Codec></AudioInputChannel>
  </Device>
</Configuration>)");
    const AUDIO_CONFIG config = Audio(m_device);
    EXPECT_EQ(config.inputCodec, "aac_64");
    EXPECT_EQ(config.inputSource, "line");
    EXPECT_EQ(config.outputCodec, "g726_32");
    EXPECT_EQ(config.inputVolume, AUDIO_CONFIG::kVolumeNotSet);
    EXPECT_EQ(config.rtpMode, uint32_t(kRtpOverRtsp));
}

// An absent codec key keeps the default codec; an absent source empties it.
TEST_F(ConfigFileTest, AbsentAudioCodecKeepsDefault) {
    Write("<Configuration><Default/></Configuration>");
    const AUDIO_CONFIG config = Audio(m_device);
    EXPECT_EQ(config.inputCodec, "g711_64");
    EXPECT_EQ(config.outputCodec, "g711_64");
    EXPECT_EQ(config.inputSource, "");
}

TEST_F(ConfigFileTest, ParserLoadsOnceAndReadsPaths) {
    Write(R"(<Configuration><Device address="10.0.0.1" port="80"><Name>  front
door </Name><Nested><A>x</A><B>y</B></Nested></Device></Configuration>)");
    const std::string path = Directory() + "Fennwick.xml";
    CXMLParser parser;
    EXPECT_EQ(parser.GetValue("Configuration"), "");
    EXPECT_FALSE(parser.Load(""));
    EXPECT_FALSE(parser.Load(Directory() + "absent.xml"));
    EXPECT_FALSE(parser.Load(Directory()));
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

#include "device/CSonyDeviceInfo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace talvex {
namespace {

using Codecs = std::vector<std::string>;

// A captured answer: the first line says how it was made, the rest is the answer.
std::string Capture(const std::string& name) {
    std::ifstream file(std::string(FENNWICK_TEST_DATA_DIR) + "/device/" + name);
    EXPECT_TRUE(file.good()) << name;
    std::string origin;
    std::getline(file, origin);
    std::stringstream rest;
    rest << file.rdbuf();
    std::string answer = rest.str();
    while (!answer.empty() && answer.back() == '\n')
        answer.pop_back();
    return answer;
}

CSonyDeviceInfo Parsed(const std::string& answer) {
    CSonyDeviceInfo info;
    EXPECT_TRUE(info.Parse(answer)) << answer;
    return info;
}

// Everything the driver reads from a device record, in one line.
std::string Summary(const CSonyDeviceInfo& info) {
    std::ostringstream out;
    const auto& software = info.GetSoftwareVersion();
    const auto& cgi = info.GetCGIVersion();
    out << info.GetModel() << " gen " << info.GetGeneration()
        << (info.GetVideoStandard() == CSonyDeviceInfo::kVideoStandardPal ? " PAL" : " NTSC") << " software "
        << software.major << "." << software.minor << " CGI " << cgi.major << "." << cgi.minor << "; codecs"
        << (info.IsJPEGSupported() ? " JPEG" : "") << (info.IsMPEG4Supported() ? " MPEG-4" : "")
        << (info.IsH264Supported() ? " H.264" : "") << "; streams " << info.GetStreamCount() << ";"
        << (info.HasSolidPTZ() ? " solid-PTZ" : "") << (info.HasPanTilt() ? " pan-tilt" : "")
        << (info.HasZoom() ? " zoom" : "") << (info.HasAnyZoom() ? " any-zoom" : "")
        << (info.HasPrivacyMasking() ? " privacy" : "") << (info.HasEdgeStorage() ? " edge" : "");
    const auto codecs = [&](const char* name, bool present, const Codecs& list) {
        out << "; audio " << name;
        if (!present)
            out << " none";
        for (const std::string& codec : list)
            out << " " << codec;
    };
    codecs("in", info.HasAudioInput(), info.GetAudioInputCodecs());
    codecs("out", info.HasAudioOutput(), info.GetAudioOutputCodecs());
    if (!info.GetOperationMode().empty())
        out << "; mode " << info.GetOperationMode();
    return out.str();
}

struct CaptureCase {
    const char* file; // under tests/data/device
    const char* summary;
};

void PrintTo(const CaptureCase& capture, std::ostream* out) { *out << capture.file; }

class CapturedDeviceInfo : public ::testing::TestWithParam<CaptureCase> {};

// Generation, codecs, PTZ, audio and storage as the camera's captured answer gives them.
TEST_P(CapturedDeviceInfo, RecordMatchesTheCamera) {
    EXPECT_EQ(Summary(Parsed(Capture(GetParam().file))), GetParam().summary);
}

INSTANTIATE_TEST_SUITE_P(
    Generations, CapturedDeviceInfo,
    ::testing::Values(
        CaptureCase{"SNC-Z20N.txt", "SNC-Z20N gen 1 NTSC software 1.12 CGI 0.0; codecs JPEG; streams 1; zoom any-zoom"
                    "; audio in none; audio out none"},
        CaptureCase{"SNC-RZ25N.txt", "SNC-RZ25N gen 2 NTSC software 2.20 CGI 1.10; codecs JPEG MPEG-4; streams 1; pan-tilt zoom any-zoom privacy"
                    "; audio in none; audio out none"},
        CaptureCase{"SNC-DF50P.txt", "SNC-DF50P gen 3 PAL software 1.40 CGI 1.21; codecs JPEG MPEG-4; streams 1; any-zoom privacy"
                    "; audio in none; audio out none"},
        CaptureCase{"SNC-RH124.txt", "SNC-RH124 gen 4 NTSC software 1.50 CGI 1.30; codecs JPEG MPEG-4 H.264; streams 1; pan-tilt zoom any-zoom privacy"
                    "; audio in none; audio out none"},
        CaptureCase{"SNC-CH210.txt", "SNC-CH210 gen 5 NTSC software 1.82 CGI 2.10; codecs JPEG MPEG-4 H.264; streams 3; any-zoom privacy edge"
                    "; audio in g711_64 g726_40 g726_32 g726_24 g726_16; audio out g711_64 g726_40 g726_32 g726_24 g726_16"},
        CaptureCase{"SNT-EX104.txt", "SNT-EX104 gen 5 NTSC software 1.30 CGI 2.30; codecs JPEG MPEG-4 H.264; streams 2; any-zoom"
                    "; audio in none; audio out none"},
        CaptureCase{"SNC-VB630.txt", "SNC-VB630 gen 6 NTSC software 1.10 CGI 6.0; codecs JPEG H.264; streams 3; any-zoom privacy edge"
                    "; audio in g711_64 g726_40 g726_32 g726_24 g726_16 aac16_64 aac48_128; audio out g711_64 g726_40 g726_32 g726_24 g726_16"},
        CaptureCase{"SNC-WR630.txt", "SNC-WR630 gen 6 PAL software 1.20 CGI 6.10; codecs JPEG H.264; streams 3; solid-PTZ pan-tilt zoom any-zoom privacy edge"
                    "; audio in g711_64 g726_40 g726_32 g726_24 g726_16 aac16_64 aac48_128; audio out none"},
        CaptureCase{"SNC-VB770.txt", "SNC-VB770 gen 7 NTSC software 2.0 CGI 7.0; codecs JPEG H.264; streams 3; any-zoom privacy edge"
                    "; audio in g711_64 g726_40 g726_32 g726_24 g726_16 aac16_64 aac48_128; audio out g711_64 aac16_64; mode normal"}),
    [](const auto& info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        std::erase(name, '-');
        return name;
    });

TEST(CSonyDeviceInfo, UnsupportedModelsAreRefused) {
    CSonyDeviceInfo info;
    EXPECT_FALSE(info.Parse(Capture("SNT-V704-unsupported.txt")));
    EXPECT_EQ(info.GetModel(), "");
    EXPECT_FALSE(info.Parse("ModelName=XYZ-100&SoftVersion=1.0"));
    EXPECT_FALSE(info.Parse("SoftVersion=1.0"));
    EXPECT_FALSE(info.Parse(""));
    EXPECT_TRUE(info.Parse("ModelName=SNT-EP104&SoftVersion=1.0"));
}

TEST(CSonyDeviceInfo, SoftwareVersionMustHaveAPoint) {
    CSonyDeviceInfo info;
    EXPECT_FALSE(info.Parse(Capture("SNC-CH210-version-without-point.txt")));
    EXPECT_EQ(info.GetSoftwareVersion().text, "");
    EXPECT_FALSE(info.Parse("ModelName=SNC-CH210&SoftVersion=1."));
    EXPECT_FALSE(info.Parse("ModelName=SNC-CH210&SoftVersion=.82"));
    EXPECT_FALSE(info.Parse("ModelName=SNC-CH210&SoftVersion=99999999999.1"));
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210&SoftVersion=1.82 build 3"));
    EXPECT_EQ(info.GetSoftwareVersion().minor, 82u);
    EXPECT_EQ(info.GetSoftwareVersion().text, "1.82 build 3");
}

TEST(CSonyDeviceInfo, MalformedCgiVersionStaysZero) {
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210&SoftVersion=1.0&CGIVersion=6&ImageSize1=1,1&ImageCodec1=h264"));
    EXPECT_EQ(info.GetCGIVersion().major, 0u);
    EXPECT_EQ(info.GetGeneration(), 5u);
}

TEST(CSonyDeviceInfo, VideoStandardIsExactLowerCase) {
    CSonyDeviceInfo info;
    EXPECT_FALSE(info.Parse(Capture("SNC-CH210-videostd-capitals.txt")));
    EXPECT_FALSE(info.Parse("ModelName=SNC-CH210&SoftVersion=1.0&VideoStd=secam"));
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210N&SoftVersion=1.0&VideoStd=pal"));
    EXPECT_EQ(info.GetVideoStandard(), CSonyDeviceInfo::kVideoStandardPal);
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210X&SoftVersion=1.0"));
    EXPECT_EQ(info.GetVideoStandard(), CSonyDeviceInfo::kVideoStandardPal);
}

TEST(CSonyDeviceInfo, NumberedStreamsByCgiMajor) {
    const std::string base = "ModelName=SNC-CH210&SoftVersion=1.0&ImageSize1=1920,1080&ImageCodec1=h264&CGIVersion=";
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse(base + "2.10"));
    EXPECT_EQ(info.GetGeneration(), 5u);
    EXPECT_TRUE(info.IsJPEGSupported() && info.IsMPEG4Supported() && info.IsH264Supported());
    ASSERT_TRUE(info.Parse(base + "6.00"));
    EXPECT_EQ(info.GetGeneration(), 6u);
    EXPECT_TRUE(info.IsJPEGSupported() && !info.IsMPEG4Supported() && info.IsH264Supported());
    ASSERT_TRUE(info.Parse(base + "7.1"));
    EXPECT_EQ(info.GetGeneration(), 7u);
    // Only one of the two keys: not a multi-stream device.
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210&SoftVersion=1.0&ImageSize1=1920,1080&CGIVersion=6.0"));
    EXPECT_EQ(info.GetGeneration(), 4u);
    EXPECT_FALSE(info.IsJPEGSupported());
}

TEST(CSonyDeviceInfo, ModelListsMatchAnywhereInTheName) {
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse("ModelName=SNC-P1X&SoftVersion=1.0&ImageSize=640"));
    EXPECT_EQ(info.GetGeneration(), 2u);
    EXPECT_TRUE(info.IsMPEG4Supported());
    ASSERT_TRUE(info.Parse("ModelName=SNC-CS50N&SoftVersion=1.0&ImageSize=640"));
    EXPECT_EQ(info.GetGeneration(), 3u);
    EXPECT_FALSE(info.IsMPEG4Supported()); // MPEG-4 under "ImageSize" only on generation 2
}

TEST(CSonyDeviceInfo, SolidPtzOtherThanOnHidesPanTiltAndZoom) {
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse("ModelName=SNC-WR630&SoftVersion=1.0&SolidPTZ=off&PanTiltFunc=1&ZoomFunc=1"));
    EXPECT_TRUE(info.HasSolidPTZ());
    EXPECT_FALSE(info.HasPanTilt());
    EXPECT_FALSE(info.HasZoom());
    EXPECT_FALSE(info.HasAnyZoom());
    ASSERT_TRUE(info.Parse("ModelName=SNC-WR630&SoftVersion=1.0&SolidPTZ1=on&PanTiltFunc=1&ZoomFunc=2"));
    EXPECT_TRUE(info.HasPanTilt());
    EXPECT_FALSE(info.HasZoom());
    EXPECT_TRUE(info.HasAnyZoom());
    // A switched-off solid PTZ function is not looked at.
    ASSERT_TRUE(info.Parse("ModelName=SNC-WR630&SoftVersion=1.0&SolidPTZFunc=0&SolidPTZ=off&PanTiltFunc=1"));
    EXPECT_FALSE(info.HasSolidPTZ());
    EXPECT_TRUE(info.HasPanTilt());
}

TEST(CSonyDeviceInfo, StreamCountIsAtLeastOne) {
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210&SoftVersion=1.0&ImageCodecMaxNum=0"));
    EXPECT_EQ(info.GetStreamCount(), 1u);
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210&SoftVersion=1.0&ImageCodecMaxNum=x3"));
    EXPECT_EQ(info.GetStreamCount(), 1u);
    ASSERT_TRUE(info.Parse("ModelName=SNC-CH210&SoftVersion=1.0&ImageCodecMaxNum=4"));
    EXPECT_EQ(info.GetStreamCount(), 4u);
}

TEST(CSonyDeviceInfo, AudioOutputCodecsSkipEmptyParts) {
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse("ModelName=SNC-VB770&SoftVersion=1.0&CGIVersion=7.0&ImageSize1=1,1&ImageCodec1=h264"
                           "&AudioOutFunc=1&AudioOutSupportedCodec=/g711_64//aac16_64/"));
    EXPECT_EQ(info.GetAudioOutputCodecs(), (Codecs{"g711_64", "aac16_64"}));
}

TEST(CSonyDeviceInfo, EdgeStorageAndOperationModeOnlyOnTheirGenerations) {
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse("ModelName=SNC-RH124&SoftVersion=1.0&EdgeStorageFunc=1&OperationMode=fullsize"));
    EXPECT_EQ(info.GetGeneration(), 4u);
    EXPECT_FALSE(info.HasEdgeStorage());
    EXPECT_EQ(info.GetOperationMode(), "");
    ASSERT_TRUE(info.Parse("ModelName=SNC-VB630&SoftVersion=1.0&CGIVersion=6.0&ImageSize1=1,1&ImageCodec1=h264"
                           "&EdgeStorageFunc=1&OperationMode=fullsize"));
    EXPECT_TRUE(info.HasEdgeStorage());
    EXPECT_EQ(info.GetOperationMode(), "");
}

TEST(CSonyDeviceInfo, ParseResetsEverything) {
    CSonyDeviceInfo info;
    ASSERT_TRUE(info.Parse(Capture("SNC-VB770.txt")));
    EXPECT_FALSE(info.Parse("ModelName=SNC-VB770"));
    EXPECT_EQ(info.GetGeneration(), CSonyDeviceInfo::kDefaultGeneration);
    EXPECT_FALSE(info.IsH264Supported());
    EXPECT_TRUE(info.GetAudioOutputCodecs().empty());
    EXPECT_EQ(info.GetOperationMode(), "");
    EXPECT_EQ(info.GetStreamCount(), 0u);
}

} // namespace
} // namespace talvex

#include "device/CSonyDeviceInfo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace talvex {
namespace {

using Codecs = std::vector<std::string>;
const Codecs kFiveCodecs = {"g711_64", "g726_40", "g726_32", "g726_24", "g726_16"};
const Codecs kSevenCodecs = {"g711_64", "g726_40", "g726_32", "g726_24", "g726_16", "aac16_64", "aac48_128"};

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

TEST(CSonyDeviceInfo, FirstGeneration) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-Z20N.txt"));
    EXPECT_EQ(info.GetModel(), "SNC-Z20N");
    EXPECT_EQ(info.GetGeneration(), 1u);
    EXPECT_EQ(info.GetSoftwareVersion().major, 1u);
    EXPECT_EQ(info.GetSoftwareVersion().minor, 12u);
    EXPECT_EQ(info.GetSoftwareVersion().text, "1.12");
    EXPECT_EQ(info.GetCGIVersion().major, 0u);
    EXPECT_EQ(info.GetCGIVersion().text, "");
    EXPECT_EQ(info.GetVideoStandard(), CSonyDeviceInfo::kVideoStandardNtsc); // by the model's last letter
    EXPECT_TRUE(info.IsJPEGSupported());
    EXPECT_FALSE(info.IsMPEG4Supported());
    EXPECT_FALSE(info.IsH264Supported());
    EXPECT_FALSE(info.HasPanTilt());
    EXPECT_TRUE(info.HasZoom());
    EXPECT_TRUE(info.HasAnyZoom());
    EXPECT_EQ(info.GetStreamCount(), 1u);
    EXPECT_FALSE(info.HasAudioInput());
    EXPECT_FALSE(info.HasEdgeStorage());
}

TEST(CSonyDeviceInfo, SecondGenerationHasMpeg4UnderImageSize) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-RZ25N.txt"));
    EXPECT_EQ(info.GetGeneration(), 2u);
    EXPECT_TRUE(info.IsJPEGSupported());
    EXPECT_TRUE(info.IsMPEG4Supported());
    EXPECT_FALSE(info.IsH264Supported());
    EXPECT_TRUE(info.HasPanTilt());
    EXPECT_TRUE(info.HasZoom());
    EXPECT_TRUE(info.HasPrivacyMasking());
    EXPECT_EQ(info.GetCGIVersion().major, 1u);
    EXPECT_EQ(info.GetCGIVersion().minor, 10u);
}

TEST(CSonyDeviceInfo, ThirdGenerationPalByModelLetter) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-DF50P.txt"));
    EXPECT_EQ(info.GetGeneration(), 3u);
    EXPECT_EQ(info.GetVideoStandard(), CSonyDeviceInfo::kVideoStandardPal);
    EXPECT_TRUE(info.IsJPEGSupported());
    EXPECT_TRUE(info.IsMPEG4Supported());
    EXPECT_FALSE(info.IsH264Supported());
    EXPECT_FALSE(info.HasPanTilt());
    EXPECT_TRUE(info.HasAnyZoom()); // no ZoomFunc at all counts as "not 0"
    EXPECT_FALSE(info.HasZoom());
}

TEST(CSonyDeviceInfo, FourthGenerationByTheImageKeys) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-RH124.txt"));
    EXPECT_EQ(info.GetGeneration(), 4u);
    EXPECT_EQ(info.GetVideoStandard(), CSonyDeviceInfo::kVideoStandardNtsc);
    EXPECT_TRUE(info.IsJPEGSupported());
    EXPECT_TRUE(info.IsMPEG4Supported());
    EXPECT_TRUE(info.IsH264Supported());
    EXPECT_FALSE(info.HasAudioInput());
    EXPECT_FALSE(info.HasEdgeStorage());
}

TEST(CSonyDeviceInfo, FifthGenerationWithCgi2) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-CH210.txt"));
    EXPECT_EQ(info.GetGeneration(), 5u);
    EXPECT_EQ(info.GetSoftwareVersion().major, 1u);
    EXPECT_EQ(info.GetSoftwareVersion().minor, 82u);
    EXPECT_EQ(info.GetCGIVersion().major, 2u);
    EXPECT_TRUE(info.IsJPEGSupported());
    EXPECT_TRUE(info.IsMPEG4Supported());
    EXPECT_TRUE(info.IsH264Supported());
    EXPECT_EQ(info.GetStreamCount(), 3u);
    EXPECT_TRUE(info.HasAudioInput());
    EXPECT_TRUE(info.HasAudioOutput());
    EXPECT_EQ(info.GetAudioInputCodecs(), kFiveCodecs);
    EXPECT_EQ(info.GetAudioOutputCodecs(), kFiveCodecs);
    EXPECT_TRUE(info.HasEdgeStorage());
    EXPECT_EQ(info.GetOperationMode(), "");
}

TEST(CSonyDeviceInfo, VideoServerIsAccepted) {
    const CSonyDeviceInfo info = Parsed(Capture("SNT-EX104.txt"));
    EXPECT_EQ(info.GetModel(), "SNT-EX104");
    EXPECT_EQ(info.GetGeneration(), 5u);
    EXPECT_EQ(info.GetStreamCount(), 2u);
    EXPECT_FALSE(info.HasAudioInput());
    EXPECT_FALSE(info.HasAudioOutput());
    EXPECT_FALSE(info.HasEdgeStorage()); // "EdgeStorageFunc=0"
    EXPECT_FALSE(info.HasPrivacyMasking());
}

TEST(CSonyDeviceInfo, SixthGenerationWithCgi6) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-VB630.txt"));
    EXPECT_EQ(info.GetGeneration(), 6u);
    EXPECT_TRUE(info.IsJPEGSupported());
    EXPECT_FALSE(info.IsMPEG4Supported());
    EXPECT_TRUE(info.IsH264Supported());
    EXPECT_EQ(info.GetAudioInputCodecs(), kSevenCodecs);
    EXPECT_EQ(info.GetAudioOutputCodecs(), kFiveCodecs);
    EXPECT_TRUE(info.HasPrivacyMasking());
    EXPECT_TRUE(info.HasEdgeStorage());
}

TEST(CSonyDeviceInfo, SolidPtzOn) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-WR630.txt"));
    EXPECT_EQ(info.GetGeneration(), 6u);
    EXPECT_EQ(info.GetVideoStandard(), CSonyDeviceInfo::kVideoStandardPal);
    EXPECT_TRUE(info.HasSolidPTZ());
    EXPECT_TRUE(info.HasPanTilt());
    EXPECT_TRUE(info.HasZoom());
    EXPECT_TRUE(info.HasAudioInput());
    EXPECT_FALSE(info.HasAudioOutput());
    EXPECT_TRUE(info.GetAudioOutputCodecs().empty());
}

TEST(CSonyDeviceInfo, SeventhGenerationWithCgi7) {
    const CSonyDeviceInfo info = Parsed(Capture("SNC-VB770.txt"));
    EXPECT_EQ(info.GetGeneration(), 7u);
    EXPECT_TRUE(info.IsH264Supported());
    EXPECT_FALSE(info.IsMPEG4Supported());
    EXPECT_EQ(info.GetOperationMode(), "normal");
    EXPECT_EQ(info.GetAudioOutputCodecs(), (Codecs{"g711_64", "aac16_64"}));
    EXPECT_EQ(info.GetAudioInputCodecs(), kSevenCodecs);
}

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

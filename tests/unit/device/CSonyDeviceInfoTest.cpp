#include "device/CSonyDeviceInfo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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
    std::string answer((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    answer.erase(0, answer.find('\n') + 1);
    while (!answer.empty() && answer.back() == '\n')
        answer.pop_back();
    return answer;
}

// Everything the driver reads from a device record, in one line.
std::string Summary(const CSonyDeviceInfo& info) {
    std::ostringstream out;
    const auto& software = info.GetSoftwareVersion();
    const auto& cgi = info.GetCGIVersion();
    out << info.GetModel() << " gen " << info.GetGeneration()
        << (info.GetVideoStandard() == CSonyDeviceInfo::kVideoStandardPal ? " PAL" : " NTSC") << " software "
        << software.major << "." << software.minor << " (" << software.text << ") CGI " << cgi.major << "." << cgi.minor << "; codecs"
        << (info.IsJPEGSupported() ? " JPEG" : "") << (info.IsMPEG4Supported() ? " MPEG-4" : "")
        << (info.IsH264Supported() ? " H.264" : "") << "; streams " << info.GetStreamCount() << ";"
        << (info.HasSolidPTZ() ? " solid-PTZ" : "") << (info.HasPanTilt() ? " pan-tilt" : "")
        << (info.HasZoom() ? " zoom" : "") << (info.HasAnyZoom() ? " any-zoom" : "")
        << (info.HasPrivacyMasking() ? " privacy" : "") << (info.HasEdgeStorage() ? " edge" : "");
    const auto codecs = [&](const char* name, bool present, const Codecs& list) {
        if (present || !list.empty())
            out << "; audio " << name;
        for (const std::string& codec : list)
            out << " " << codec;
    };
    codecs("in", info.HasAudioInput(), info.GetAudioInputCodecs());
    codecs("out", info.HasAudioOutput(), info.GetAudioOutputCodecs());
    if (!info.GetOperationMode().empty())
        out << "; mode " << info.GetOperationMode();
    return out.str();
}

// A record answer (or a capture under tests/data/device when it ends in .txt) and
// everything read from it, after "refused: " when Parse refuses the answer.
struct RecordCase {
    const char* name;
    std::string answer;
    std::string summary;
};

void PrintTo(const RecordCase& row, std::ostream* out) { *out << row.name; }

class DeviceRecord : public ::testing::TestWithParam<RecordCase> {};

// A reused record must not keep anything of the last answer.
TEST_P(DeviceRecord, ReadsWhatTheCameraSays) {
    const RecordCase& row = GetParam();
    const std::string answer = row.answer.ends_with(".txt") ? Capture(row.answer) : row.answer;
    CSonyDeviceInfo fresh;
    CSonyDeviceInfo reused;
    ASSERT_TRUE(reused.Parse(Capture("SNC-VB770.txt")));
    const bool accepted = !row.summary.starts_with("refused: ");
    EXPECT_EQ(fresh.Parse(answer), accepted);
    reused.Parse(answer);
    EXPECT_EQ(Summary(fresh), accepted ? row.summary : row.summary.substr(9));
    EXPECT_EQ(Summary(reused), Summary(fresh));
}

// What a refused answer that names no model leaves.
const std::string kRefusedUnnamed = "refused:  gen 4 PAL software 0.0 () CGI 0.0; codecs; streams 0;";

INSTANTIATE_TEST_SUITE_P(
    Answers, DeviceRecord,
    ::testing::Values(
        RecordCase{"Z20N", "SNC-Z20N.txt", "SNC-Z20N gen 1 NTSC software 1.12 (1.12) CGI 0.0; codecs JPEG; streams 1; zoom any-zoom"},
        RecordCase{"RZ25N", "SNC-RZ25N.txt", "SNC-RZ25N gen 2 NTSC software 2.20 (2.20) CGI 1.10; codecs JPEG MPEG-4; streams 1; pan-tilt zoom any-zoom privacy"},
        RecordCase{"DF50P", "SNC-DF50P.txt", "SNC-DF50P gen 3 PAL software 1.40 (1.40) CGI 1.21; codecs JPEG MPEG-4; streams 1; any-zoom privacy"},
        RecordCase{"RH124", "SNC-RH124.txt", "SNC-RH124 gen 4 NTSC software 1.50 (1.50) CGI 1.30; codecs JPEG MPEG-4 H.264; streams 1; pan-tilt zoom any-zoom privacy"},
        RecordCase{"CH210", "SNC-CH210.txt", "SNC-CH210 gen 5 NTSC software 1.82 (1.82) CGI 2.10; codecs JPEG MPEG-4 H.264; streams 3; any-zoom privacy edge; audio in g711_64 g726_40 g726_32 g726_24 g726_16; audio out g711_64 g726_40 g726_32 g726_24 g726_16"},
        RecordCase{"EX104", "SNT-EX104.txt", "SNT-EX104 gen 5 NTSC software 1.30 (1.30) CGI 2.30; codecs JPEG MPEG-4 H.264; streams 2; any-zoom"},
        RecordCase{"VB630", "SNC-VB630.txt", "SNC-VB630 gen 6 NTSC software 1.10 (1.10) CGI 6.0; codecs JPEG H.264; streams 3; any-zoom privacy edge; audio in g711_64 g726_40 g726_32 g726_24 g726_16 aac16_64 aac48_128; audio out g711_64 g726_40 g726_32 g726_24 g726_16"},
        RecordCase{"WR630", "SNC-WR630.txt", "SNC-WR630 gen 6 PAL software 1.20 (1.20) CGI 6.10; codecs JPEG H.264; streams 3; solid-PTZ pan-tilt zoom any-zoom privacy edge; audio in g711_64 g726_40 g726_32 g726_24 g726_16 aac16_64 aac48_128"},
        RecordCase{"VB770", "SNC-VB770.txt", "SNC-VB770 gen 7 NTSC software 2.0 (2.00) CGI 7.0; codecs JPEG H.264; streams 3; any-zoom privacy edge; audio in g711_64 g726_40 g726_32 g726_24 g726_16 aac16_64 aac48_128; audio out g711_64 aac16_64; mode normal"},
        RecordCase{"UnsupportedModelCaptured", "SNT-V704-unsupported.txt", kRefusedUnnamed},
        RecordCase{"UnknownModel", "ModelName=XYZ-100&SoftVersion=1.0", kRefusedUnnamed},
        RecordCase{"NoModel", "SoftVersion=1.0", kRefusedUnnamed},
        RecordCase{"Empty", "", kRefusedUnnamed},
        RecordCase{"NoModelName", "ModelName=SNC-VB770", "refused: SNC-VB770 gen 4 PAL software 0.0 () CGI 0.0; codecs; streams 0;"},
        RecordCase{"ListedModelOfNoGeneration", "ModelName=SNT-EP104&SoftVersion=1.0", "SNT-EP104 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; any-zoom"},
        RecordCase{"VersionWithoutPointCaptured", "SNC-CH210-version-without-point.txt", "refused: SNC-CH210 gen 4 PAL software 0.0 () CGI 0.0; codecs; streams 0;"},
        RecordCase{"VersionWithoutMinor", "ModelName=SNC-CH210&SoftVersion=1.", "refused: SNC-CH210 gen 4 PAL software 0.0 () CGI 0.0; codecs; streams 0;"},
        RecordCase{"VersionWithoutMajor", "ModelName=SNC-CH210&SoftVersion=.82", "refused: SNC-CH210 gen 4 PAL software 0.0 () CGI 0.0; codecs; streams 0;"},
        RecordCase{"VersionBeyondItsType", "ModelName=SNC-CH210&SoftVersion=99999999999.1", "refused: SNC-CH210 gen 4 PAL software 0.0 () CGI 0.0; codecs; streams 0;"},
        RecordCase{"VersionWithBuild", "ModelName=SNC-CH210&SoftVersion=1.82 build 3", "SNC-CH210 gen 4 PAL software 1.82 (1.82 build 3) CGI 0.0; codecs; streams 1; any-zoom"},
        RecordCase{"CgiVersionWithoutPointStaysZero", "ModelName=SNC-CH210&SoftVersion=1.0&CGIVersion=6&ImageSize1=1,1&ImageCodec1=h264", "SNC-CH210 gen 5 PAL software 1.0 (1.0) CGI 0.0; codecs JPEG MPEG-4 H.264; streams 1; any-zoom"},
        RecordCase{"VideoStandardCapitalsCaptured", "SNC-CH210-videostd-capitals.txt", "refused: SNC-CH210 gen 4 PAL software 1.82 (1.82) CGI 2.10; codecs; streams 0;"},
        RecordCase{"VideoStandardUnknown", "ModelName=SNC-CH210&SoftVersion=1.0&VideoStd=secam", "refused: SNC-CH210 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 0;"},
        RecordCase{"VideoStandardPal", "ModelName=SNC-CH210N&SoftVersion=1.0&VideoStd=pal", "SNC-CH210N gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; any-zoom"},
        RecordCase{"VideoStandardFromModelSuffix", "ModelName=SNC-CH210X&SoftVersion=1.0", "SNC-CH210X gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; any-zoom"},
        RecordCase{"NumberedStreamsCgi2", "ModelName=SNC-CH210&SoftVersion=1.0&ImageSize1=1920,1080&ImageCodec1=h264&CGIVersion=2.10", "SNC-CH210 gen 5 PAL software 1.0 (1.0) CGI 2.10; codecs JPEG MPEG-4 H.264; streams 1; any-zoom"},
        RecordCase{"NumberedStreamsCgi6", "ModelName=SNC-CH210&SoftVersion=1.0&ImageSize1=1920,1080&ImageCodec1=h264&CGIVersion=6.00", "SNC-CH210 gen 6 PAL software 1.0 (1.0) CGI 6.0; codecs JPEG H.264; streams 1; any-zoom"},
        RecordCase{"NumberedStreamsCgi7", "ModelName=SNC-CH210&SoftVersion=1.0&ImageSize1=1920,1080&ImageCodec1=h264&CGIVersion=7.1", "SNC-CH210 gen 7 PAL software 1.0 (1.0) CGI 7.1; codecs JPEG H.264; streams 1; any-zoom"},
        RecordCase{"NumberedSizeWithoutCodec", "ModelName=SNC-CH210&SoftVersion=1.0&ImageSize1=1920,1080&CGIVersion=6.0", "SNC-CH210 gen 4 PAL software 1.0 (1.0) CGI 6.0; codecs; streams 1; any-zoom"},
        RecordCase{"ModelListedInsideTheName", "ModelName=SNC-P1X&SoftVersion=1.0&ImageSize=640", "SNC-P1X gen 2 PAL software 1.0 (1.0) CGI 0.0; codecs JPEG MPEG-4; streams 1; any-zoom"},
        RecordCase{"Mpeg4UnnumberedOnlyOnGeneration2", "ModelName=SNC-CS50N&SoftVersion=1.0&ImageSize=640", "SNC-CS50N gen 3 NTSC software 1.0 (1.0) CGI 0.0; codecs JPEG; streams 1; any-zoom"},
        RecordCase{"SolidPtzOffHidesPanTiltAndZoom", "ModelName=SNC-WR630&SoftVersion=1.0&SolidPTZ=off&PanTiltFunc=1&ZoomFunc=1", "SNC-WR630 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; solid-PTZ"},
        RecordCase{"SolidPtzOnWithDigitalZoom", "ModelName=SNC-WR630&SoftVersion=1.0&SolidPTZ1=on&PanTiltFunc=1&ZoomFunc=2", "SNC-WR630 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; solid-PTZ pan-tilt any-zoom"},
        RecordCase{"SolidPtzFunctionSwitchedOff", "ModelName=SNC-WR630&SoftVersion=1.0&SolidPTZFunc=0&SolidPTZ=off&PanTiltFunc=1", "SNC-WR630 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; pan-tilt any-zoom"},
        RecordCase{"StreamCountZero", "ModelName=SNC-CH210&SoftVersion=1.0&ImageCodecMaxNum=0", "SNC-CH210 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; any-zoom"},
        RecordCase{"StreamCountMalformed", "ModelName=SNC-CH210&SoftVersion=1.0&ImageCodecMaxNum=x3", "SNC-CH210 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; any-zoom"},
        RecordCase{"StreamCountFour", "ModelName=SNC-CH210&SoftVersion=1.0&ImageCodecMaxNum=4", "SNC-CH210 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 4; any-zoom"},
        RecordCase{"AudioOutputCodecsSkipEmptyParts", "ModelName=SNC-VB770&SoftVersion=1.0&CGIVersion=7.0&ImageSize1=1,1&ImageCodec1=h264&AudioOutFunc=1&AudioOutSupportedCodec=/g711_64//aac16_64/", "SNC-VB770 gen 7 PAL software 1.0 (1.0) CGI 7.0; codecs JPEG H.264; streams 1; any-zoom; audio out g711_64 aac16_64"},
        RecordCase{"EdgeStorageAndModeNotBelowGeneration5", "ModelName=SNC-RH124&SoftVersion=1.0&EdgeStorageFunc=1&OperationMode=fullsize", "SNC-RH124 gen 4 PAL software 1.0 (1.0) CGI 0.0; codecs; streams 1; any-zoom"},
        RecordCase{"OperationModeOnlyOnGeneration7", "ModelName=SNC-VB630&SoftVersion=1.0&CGIVersion=6.0&ImageSize1=1,1&ImageCodec1=h264&EdgeStorageFunc=1&OperationMode=fullsize", "SNC-VB630 gen 6 PAL software 1.0 (1.0) CGI 6.0; codecs JPEG H.264; streams 1; any-zoom edge"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

// Live video end to end: fennwick-host record, run as a person runs it,
// loads libfennwick.so and records a camsim camera of every generation family
// (motion JPEG over HTTP and HTTP-started RTP below generation 5, RTSP over
// UDP, TCP and interleaved from 5, motion JPEG over HTTP for generation 7 in
// "fullsize" mode). Every recording must decode without a single error and
// hold as many frames as the camera sent in the time it covers.
//
// The driver reads Fennwick.xml beside the host executable, so each test runs
// its own hard link of fennwick-host in a directory of its own, with the file
// that chooses the RTP mode. Until the driver learns the camera's RTSP port,
// its RTSP channels reach port 554: the camera binds it there.
#include "host/CamsimRecordingFixture.h"

#include "Catalogue.h"
#include "MediaClips.h"
#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace talvex::test;
namespace fs = std::filesystem;

constexpr uint32_t kRecordSeconds = 4;
// Connecting (the RTP port search alone waits 500 ms) and the first key frame
// take at most this much of a recording.
constexpr double kStartAllowanceSeconds = 2.5;
// Frame count tolerance: this share of the expected count, plus one frame.
constexpr double kFrameTolerance = 0.03;

struct RecordingCase {
    const char* name;
    const char* model;
    const char* stream;       // --stream NAME:CODEC
    const char* rtpMode;      // Fennwick.xml <RTPMode>; nullptr writes no file
    const char* cameraPath;   // what the driver must have asked the camera for
    const char* codecName;    // as ffprobe names it
    const char* rateKey;      // camera key holding the stream's frame rate; nullptr: the RTSP clip rate
    const char* cameraSetup = ""; // camera.cgi items set before recording
    bool fullsize = false;    // generation 7 in operation mode "fullsize"
};

void PrintTo(const RecordingCase& recording, std::ostream* out) { *out << recording.name; }

// A camsim camera (with its media routes and RTSP on port 554) and a host
// directory of its own for one recording.
class EndToEndRecording : public fennwick_host::test::CamsimRecording,
                          public ::testing::WithParamInterface<RecordingCase> {
protected:
    void SetUp() override {
        CamsimRecording::SetUp();
        // The driver's configuration file sits beside the executable.
        std::error_code linkError;
        fs::create_hard_link(FENNWICK_HOST_EXECUTABLE, m_host, linkError);
        if (linkError)
            fs::copy_file(FENNWICK_HOST_EXECUTABLE, m_host);
        m_withMedia = true;
        if (!StartCamera(GetParam().model, camsim::FindModel(GetParam().model)->generation))
            GTEST_SKIP() << m_skipReason;
        if (*GetParam().cameraSetup)
            m_camera->State().ApplyCommand(camsim::CameraState::Cgi::Camera, camsim::SplitItems(GetParam().cameraSetup));
    }

    // The device as the host gets it: from the command line, and for a
    // generation 7 in fullsize mode a profile that stores property 18.
    std::string Device() {
        const std::string arguments = DeviceArguments() + " --library " + FENNWICK_DRIVER_LIBRARY;
        if (!GetParam().fullsize)
            return arguments;
        // The driver reads the numbered properties up to the first gap.
        std::ofstream profile(m_directory / "device.profile");
        profile << "1=1\n2=" << m_generation << "\n3=2.00\n";
        for (int id = 4; id < 18; ++id)
            profile << id << "=(none)\n";
        profile << "18=fullsize\n";
        return arguments + " --profile " + (m_directory / "device.profile").string();
    }

    double CameraFrameRate() const {
        const char* key = GetParam().rateKey;
        if (!key)
            return camsim::Clip::FRAME_RATE;
        const auto value = m_camera->State().Value(key);
        return value ? std::stod(*value) : 0;
    }

    bool CameraWasAskedFor(const std::string& path) const {
        if (GetParam().rtpMode) {
            for (const std::string& line : m_rtsp->RequestLog())
                if (line.find(path) != std::string::npos)
                    return true;
            return false;
        }
        for (const camsim::RequestRecord& request : m_camera->Http().Requests())
            if (request.target.starts_with(path) && request.status == 200)
                return true;
        return false;
    }

    // Runs fennwick-host record for the case's stream; the file it writes.
    fs::path Record(ToolResult& result) {
        const std::string stream = GetParam().stream;
        result = RunTool(m_host.string() + " record" + Device() + " --stream " + stream + " --seconds " +
                         std::to_string(kRecordSeconds) + " --out " + (m_directory / "out").string());
        return m_directory / "out" / (stream.substr(0, stream.find(':')) + ".mkv");
    }

    const HostDirectory m_folder{GetParam().rtpMode};
    const fs::path m_host = fs::path(m_folder.Path()) / "fennwick-host";
};

TEST_P(EndToEndRecording, RecordingDecodesCleanlyWithEveryFrameTheCameraSent) {
    const RecordingCase& recording = GetParam();
    ToolResult result;
    const fs::path file = Record(result);
    ASSERT_EQ(result.exitCode, 0) << result.output << fennwick_host::test::ReadFile(m_directory / "host.log");
    EXPECT_TRUE(CameraWasAskedFor(recording.cameraPath)) << recording.cameraPath;

    auto probe = ProbeEntries(file.string(), "stream=codec_name,nb_read_frames");
    EXPECT_EQ(probe["codec_name"], recording.codecName);
    ExpectCleanDecode(file.string());

    // Decoded frames against the frames the camera sent in the span the file covers.
    const long frames = std::strtol(probe["nb_read_frames"].c_str(), nullptr, 10);
    const std::vector<double> pts = PacketTimes(file.string());
    ASSERT_GE(pts.size(), 2u);
    const double span = *std::max_element(pts.begin(), pts.end()) - *std::min_element(pts.begin(), pts.end());
    const double rate = CameraFrameRate();
    const double expected = span * rate + 1;
    EXPECT_EQ(size_t(frames), pts.size());
    EXPECT_LE(std::abs(double(frames) - expected), expected * kFrameTolerance + 1)
        << frames << " frames, expected " << expected;
    EXPECT_GE(span, kRecordSeconds - kStartAllowanceSeconds) << "the recording covers too little of its time";
}

const RecordingCase kRecordings[] = {
    // Below generation 5: motion JPEG over HTTP and RTP started by an HTTP request.
    {"Gen1MjpegImage", "SNC-Z20N", "rec:jpeg", nullptr, "/image", "mjpeg", "JpFrameRate"},
    {"Gen2Mpeg4ImageRtp", "SNC-RZ25N", "rec:mpeg4", nullptr, "/image?UdpMode=unicast&UdpPort=", "mpeg4", "M4FrameRate"},
    {"Gen3MjpegImage", "SNC-DF50P", "rec:jpeg", nullptr, "/image", "mjpeg", "JpFrameRate"},
    {"Gen4H264Rtp", "SNC-RH124", "rec:h264", nullptr, "/h264?UdpMode=unicast&UdpPort=", "h264", "H264FrameRate"},
    {"Gen4Mpeg4Rtp", "SNC-RH124", "rec:mpeg4", nullptr, "/mpeg4?UdpMode=unicast&UdpPort=", "mpeg4", "M4FrameRate"},
    {"Gen4MjpegOverHttp", "SNC-RH124", "rec:jpeg", nullptr, "/mjpeg", "mjpeg", "JpFrameRate"},
    // From generation 5: RTSP, the RTP mode chosen by the configuration file.
    {"Gen5H264RtspUdp", "SNC-CH210", "rec:h264", "RTPoverUDP", "SETUP rtsp://127.0.0.1:554/media/video1", "h264", nullptr},
    {"Gen5H264RtspTcp", "SNC-CH210", "rec:h264", "RTPoverTCP", "SETUP rtsp://127.0.0.1:554/media/video1", "h264", nullptr},
    {"Gen5H264RtspInterleaved", "SNC-CH210", "rec:h264", "RTPoverRTSP", "SETUP rtsp://127.0.0.1:554/media/video1", "h264", nullptr},
    {"Gen6MjpegRtspUdp", "SNC-VB630", "live:jpeg", "RTPoverUDP", "SETUP rtsp://127.0.0.1:554/video2", "mjpeg", nullptr},
    {"Gen6Mpeg4RtspTcp", "SNC-VB630", "remote:mpeg4", "RTPoverTCP", "SETUP rtsp://127.0.0.1:554/video3", "mpeg4", nullptr,
     "ImageCodec3=mpeg4"},
    {"Gen6MjpegRtspInterleaved", "SNC-VB630", "live:jpeg", "RTPoverRTSP", "SETUP rtsp://127.0.0.1:554/video2", "mjpeg", nullptr},
    // Generation 7 in fullsize mode: motion JPEG over HTTP again.
    {"Gen7FullsizeMjpegOverHttp", "SNC-VB770", "rec:jpeg", nullptr, "/image1", "mjpeg", "FrameRate1",
     "OperationMode=fullsize&ImageCodec1=jpeg", true},
};

INSTANTIATE_TEST_SUITE_P(Generations, EndToEndRecording, ::testing::ValuesIn(kRecordings),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

// fennwick-host record, run as a person runs it, against camsim in this process;
// the files have the picture size and (within 10 %) the frame rate asked for.
#include "CamsimRecordingFixture.h"
#include "support/WaitUntil.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace fennwick_host::test;
using namespace talvex::test;
using namespace std::chrono_literals;

using HostRecordCommand = CamsimRecording;

TEST_F(HostRecordCommand, SigintStopsTheRecordingWithFinishedFiles) {
    if (!StartCamera())
        GTEST_SKIP() << m_skipReason;
    std::string summary = (m_directory / "summary.txt").string();
    std::string command = std::string(FENNWICK_HOST_EXECUTABLE) + " record" + DeviceArguments() +
                          " --stream rec --out " + Out();
    pid_t child = fork();
    if (child == 0) {
        // The child's own stdout and stderr go to the summary file.
        execl("/bin/sh", "sh", "-c", ("exec " + command + " >" + summary + " 2>&1").c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(child, 0);
    // The file appears with the first key frame (at most 20 s); a second of frames follows it.
    // The muxer keeps them in its open cluster: only a finished file holds them.
    WaitUntil([&] { return std::filesystem::exists(Out() + "/rec.mkv"); }, 20s);
    std::this_thread::sleep_for(1s);
    kill(child, SIGINT);
    int status = 0;
    const auto stopAsked = std::chrono::steady_clock::now();
    if (!WaitUntil([&] { return waitpid(child, &status, WNOHANG) != 0; }, 30s)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "fennwick-host did not stop within 30 s of SIGINT:\n" << ReadFile(summary);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(summary);
    EXPECT_NE(ReadFile(summary).find("stream rec: H.264"), std::string::npos) << ReadFile(summary);
    EXPECT_EQ(ReadFile(summary).find("written 0,"), std::string::npos) << ReadFile(summary);
    EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, 10s);
    // A finished file knows its length.
    const std::string duration = ProbeEntries(Out() + "/rec.mkv", "format=duration")["duration"];
    EXPECT_GT(std::strtod(duration.c_str(), nullptr), 0.0) << duration;
    ExpectCleanDecode(Out() + "/rec.mkv");
}

// Two streams of each camera, each into its own file.
TEST_F(HostRecordCommand, RecordsSeveralCamerasInOneProcessEachIntoItsOwnFile) {
    if (!StartCamera())
        GTEST_SKIP() << m_skipReason;
    if (!StartSecondCamera())
        GTEST_SKIP() << m_skipReason;
    std::string first = "127.0.0.1:" + std::to_string(m_camera->Http().Port());
    std::string second = "127.0.0.2:" + std::to_string(m_secondCamera->Http().Port());
    auto result = RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " record" + DeviceArguments() + " --camera " +
                          first + " --camera " + second +
                          " --codec h264 --stream rec --stream live:jpeg --seconds 4 --out " + Out());
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("recording 4 stream(s) of 2 cameras"), std::string::npos) << result.output;
    for (const std::string address : {"127.0.0.1", "127.0.0.2"}) {
        for (const auto& [stream, codec] : {std::pair{"rec", "H.264"}, std::pair{"live", "MJPEG"}}) {
            const std::string file = Out() + "/" + address + "-" + stream + ".mkv";
            EXPECT_NE(result.output.find("stream " + address + "/" + stream + ": " + codec + " -> " + file),
                      std::string::npos)
                << result.output;
            ExpectCleanDecode(file);
        }
        EXPECT_EQ(ProbeEntries(Out() + "/" + address + "-live.mkv", "stream=codec_name")["codec_name"], "mjpeg");
    }
    // The profile's own address (--address) is not recorded beside the cameras.
    EXPECT_FALSE(std::filesystem::exists(Out() + "/rec.mkv"));
}

TEST_F(HostRecordCommand, ACameraWithoutFramesFailsTheRunButTheOthersAreRecorded) {
    if (!StartCamera())
        GTEST_SKIP() << m_skipReason;
    std::string live = "127.0.0.1:" + std::to_string(m_camera->Http().Port());
    auto result = RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " record" + DeviceArguments() +
                          " --camera 127.0.0.3:9 --camera " + live + " --codec h264 --stream rec --seconds 3 --out " +
                          Out());
    EXPECT_EQ(result.exitCode, 1) << result.output;
    // Nothing listens at 127.0.0.3: its channel keeps retrying and writes no file.
    EXPECT_NE(result.output.find("stream 127.0.0.3/rec: no frames -> " + Out() + "/127.0.0.3-rec.mkv (not written)"),
              std::string::npos)
        << result.output;
    EXPECT_FALSE(std::filesystem::exists(Out() + "/127.0.0.3-rec.mkv"));
    EXPECT_NE(result.output.find("stream 127.0.0.1/rec: H.264 -> " + Out() + "/127.0.0.1-rec.mkv\n"),
              std::string::npos)
        << result.output;
    ExpectCleanDecode(Out() + "/127.0.0.1-rec.mkv");
}

struct CameraCase {
    const char* name;
    const char* model;
    uint32_t generation;
};

void PrintTo(const CameraCase& camera, std::ostream* out) { *out << camera.name; }

class HostRequestedSizeAndRate : public CamsimRecording, public ::testing::WithParamInterface<CameraCase> {};

TEST_P(HostRequestedSizeAndRate, FilesHaveTheRequestedSizeAndFrameRate) {
    if (!StartCamera(GetParam().model, GetParam().generation))
        GTEST_SKIP() << m_skipReason;
    auto result = RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " record" + DeviceArguments() +
                          " --codec h264 --size 320x240 --fps 5 --stream rec --seconds 6 --out " + Out());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    auto probe = ProbeEntries(Out() + "/rec.mkv", "stream=width,height,nb_read_frames:format=duration");
    EXPECT_EQ(probe["width"], "320");
    EXPECT_EQ(probe["height"], "240");
    const double frames = std::strtod(probe["nb_read_frames"].c_str(), nullptr);
    const double duration = std::strtod(probe["duration"].c_str(), nullptr);
    ASSERT_GT(duration, 1.0);
    EXPECT_NEAR(frames / duration, 5.0, 0.5) << frames << " frames in " << duration << " s";
}

INSTANTIATE_TEST_SUITE_P(Generations, HostRequestedSizeAndRate,
                         ::testing::Values(CameraCase{"Gen5", "SNC-CH210", 5}, CameraCase{"Gen6", "SNC-VB630", 6}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

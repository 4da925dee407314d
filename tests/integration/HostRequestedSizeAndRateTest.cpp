// fennwick-host record asks a camsim camera of generation 5 and 6 for a
// picture size and frame rate other than the camera's; the files it writes
// have that size and, within 10 %, that rate. RTSP is on port 554 (the driver
// names no other), so the test skips when that port cannot be bound.
#include "Camera.h"
#include "RtspServer.h"
#include "RunTool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using fennwick_host::test::RunTool;

struct CameraCase {
    const char* name;
    const char* model;
    uint32_t generation;
};

class HostRequestedSizeAndRate : public ::testing::TestWithParam<CameraCase> {
protected:
    void TearDown() override {
        if (m_camera)
            m_camera->Stop();
        if (!HasFailure())
            std::filesystem::remove_all(m_directory);
    }

    bool StartCamera() {
        camsim::CameraOptions options;
        options.model = GetParam().model;
        options.auth = camsim::AuthMode::None;
        m_camera = std::make_unique<camsim::Camera>(options);
        camsim::RtspServerOptions rtsp;
        rtsp.port = 554;
        rtsp.generation = GetParam().generation;
        m_camera->AddServer(std::make_unique<camsim::RtspServer>(rtsp, m_camera.get()));
        std::string error;
        if (m_camera->Start(error))
            return true;
        m_camera.reset();
        return false;
    }

    std::filesystem::path m_directory =
        std::filesystem::path(FENNWICK_BINARY_DIR) / "tests" / "integration" / "requested-size-and-rate";
    std::unique_ptr<camsim::Camera> m_camera;
};

double ProbeNumber(const std::string& file, const std::string& entry) {
    auto result = RunTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries " + entry +
                          " -of csv=p=0 " + file);
    return std::strtod(result.output.c_str(), nullptr);
}

TEST_P(HostRequestedSizeAndRate, FilesHaveTheRequestedSizeAndFrameRate) {
    if (!StartCamera())
        GTEST_SKIP() << "camsim cannot start with RTSP on port 554";
    std::filesystem::remove_all(m_directory);
    const std::string out = (m_directory / GetParam().name).string();
    auto result = RunTool(std::string(FENNWICK_HOST_EXECUTABLE) + " record --generation " +
                          std::to_string(GetParam().generation) + " --model " + GetParam().model +
                          " --address 127.0.0.1 --port " + std::to_string(m_camera->Http().Port()) +
                          " --codec h264 --size 320x240 --fps 5 --stream rec --seconds 6 --out " + out);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::string file = out + "/rec.mkv";
    EXPECT_EQ(ProbeNumber(file, "stream=width"), 320);
    EXPECT_EQ(ProbeNumber(file, "stream=height"), 240);
    const double frames = ProbeNumber(file, "stream=nb_read_frames");
    const double duration = ProbeNumber(file, "format=duration");
    ASSERT_GT(duration, 1.0);
    std::printf("[ rate     ] %s: %.0f frames in %.3f s\n", GetParam().name, frames, duration);
    EXPECT_NEAR(frames / duration, 5.0, 0.5) << frames << " frames in " << duration << " s";
}

INSTANTIATE_TEST_SUITE_P(Generations, HostRequestedSizeAndRate,
                         ::testing::Values(CameraCase{"Gen5", "SNC-CH210", 5}, CameraCase{"Gen6", "SNC-VB630", 6}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

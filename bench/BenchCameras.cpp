#include "BenchCameras.h"

#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

constexpr uint16_t RTSP_PORT = 554;
constexpr uint32_t MAX_CAMERAS = 254; // PREFIX.1 to PREFIX.254

std::unique_ptr<camsim::Camera> MakeCamera(const BenchCameraOptions& options, const std::string& address,
                                           camsim::RtspServer*& rtsp) {
    camsim::CameraOptions cameraOptions;
    cameraOptions.model = options.model;
    cameraOptions.auth = options.auth;
    cameraOptions.http.bindAddress = address;
    auto camera = std::make_unique<camsim::Camera>(cameraOptions);
    camsim::RtspServerOptions rtspOptions;
    rtspOptions.audio = false;
    rtspOptions.bindAddress = address;
    rtspOptions.port = RTSP_PORT;
    rtspOptions.clipsDirectory = options.clips;
    rtspOptions.frameRate = options.frameRate;
    rtspOptions.auth = options.auth;
    rtspOptions.recordingSeconds = options.recordingSeconds;
    auto server = std::make_unique<camsim::RtspServer>(rtspOptions, camera.get());
    rtsp = server.get();
    camera->AddServer(std::move(server));
    return camera;
}

} // namespace

const char* const BENCH_CAMERA_USAGE =
    "--clips DIR [--cameras N] [--frame-rate F] [--model M] [--auth none|basic|digest]";

bool ReadBenchCameraFlag(std::string_view flag, const char* value, BenchCameraOptions& options) {
    if (flag == "--cameras")
        options.cameras = uint32_t(std::strtoul(value, nullptr, 10));
    else if (flag == "--frame-rate")
        options.frameRate = uint32_t(std::strtoul(value, nullptr, 10));
    else if (flag == "--model")
        options.model = value;
    else if (flag == "--clips")
        options.clips = value;
    else if (flag == "--auth") {
        const auto auth = camsim::ParseAuthMode(value);
        if (!auth)
            return false;
        options.auth = *auth;
    } else
        return false;
    return true;
}

bool AreUsable(const BenchCameraOptions& options) {
    return options.cameras > 0 && options.cameras <= MAX_CAMERAS && options.frameRate > 0 && !options.clips.empty();
}

std::vector<BenchCamera> StartBenchCameras(const BenchCameraOptions& options) {
    std::vector<BenchCamera> cameras;
    for (uint32_t i = 0; i < options.cameras; ++i) {
        const std::string address = options.addressPrefix + "." + std::to_string(i + 1);
        BenchCamera started;
        started.camera = MakeCamera(options, address, started.rtsp);
        std::string error;
        if (!started.camera->Start(error)) {
            std::fprintf(stderr, "camera %u: %s\n", i, error.c_str());
            for (auto& camera : cameras)
                camera.camera->Stop();
            return {};
        }
        std::printf("CAMERA %u %s http=%u rtsp=%u\n", i, address.c_str(), unsigned(started.camera->Http().Port()),
                    unsigned(started.rtsp->GetPort()));
        cameras.push_back(std::move(started));
    }
    std::fflush(stdout);
    return cameras;
}

sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

void WaitForStopSignal(const sigset_t& signals) {
    int received = 0;
    sigwait(&signals, &received);
}

} // namespace bench

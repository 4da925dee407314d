// Serves N simulated cameras on loopback for the live-path benchmark. Camera i
// listens on its own address 127.0.1.(i+1) (the driver reaches RTSP on port
// 554, so the cameras cannot share one address), with a web server on a free
// port and RTSP on 554; it sends the clips of --clips at --frame-rate and asks
// for no credentials. Prints "CAMERA i ADDRESS http=P rtsp=554" per camera,
// then "READY", and runs until SIGINT or SIGTERM.
#include "Camera.h"
#include "RtspServer.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr uint16_t RTSP_PORT = 554;
constexpr uint32_t MAX_CAMERAS = 254;

struct BenchOptions {
    uint32_t cameras = 16;
    uint32_t frameRate = 30;
    std::string model = "SNC-VB630";
    std::string clips;
};

bool Parse(int argc, char** argv, BenchOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view flag = argv[i];
        const char* value = argv[i + 1];
        if (flag == "--cameras")
            options.cameras = uint32_t(std::strtoul(value, nullptr, 10));
        else if (flag == "--frame-rate")
            options.frameRate = uint32_t(std::strtoul(value, nullptr, 10));
        else if (flag == "--model")
            options.model = value;
        else if (flag == "--clips")
            options.clips = value;
        else
            return false;
    }
    return argc % 2 == 1 && options.cameras > 0 && options.cameras <= MAX_CAMERAS && options.frameRate > 0 && !options.clips.empty();
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: live_path_cameras --clips DIR [--cameras N] [--frame-rate F] [--model M]\n");
        return 2;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::vector<std::unique_ptr<camsim::Camera>> cameras;
    for (uint32_t i = 0; i < options.cameras; ++i) {
        camsim::CameraOptions cameraOptions;
        cameraOptions.model = options.model;
        cameraOptions.auth = camsim::AuthMode::None;
        const std::string address = "127.0.1." + std::to_string(i + 1);
        cameraOptions.http.bindAddress = address;
        auto camera = std::make_unique<camsim::Camera>(cameraOptions);
        camsim::RtspServerOptions rtspOptions;
        rtspOptions.audio = false;
        rtspOptions.bindAddress = address;
        rtspOptions.port = RTSP_PORT;
        rtspOptions.clipsDirectory = options.clips;
        rtspOptions.frameRate = options.frameRate;
        auto rtsp = std::make_unique<camsim::RtspServer>(rtspOptions, camera.get());
        camsim::RtspServer& server = *rtsp;
        camera->AddServer(std::move(rtsp));
        std::string error;
        if (!camera->Start(error)) {
            std::fprintf(stderr, "camera %u: %s\n", i, error.c_str());
            return 1;
        }
        std::printf("CAMERA %u %s http=%u rtsp=%u\n", i, address.c_str(), unsigned(camera->Http().Port()),
                    unsigned(server.GetPort()));
        cameras.push_back(std::move(camera));
    }
    std::printf("READY\n");
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    for (auto& camera : cameras)
        camera->Stop();
    return 0;
}

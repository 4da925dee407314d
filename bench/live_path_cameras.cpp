// Serves N simulated cameras on loopback for the live-path benchmark (see
// BenchCameras.h): the clips of --clips at --frame-rate, no credentials asked.
// Prints "CAMERA i ADDRESS http=P rtsp=554" per camera, then "READY", and runs
// until SIGINT or SIGTERM.
#include "BenchCameras.h"

#include <cstdio>

int main(int argc, char** argv) {
    bench::BenchCameraOptions options;
    bool usable = argc % 2 == 1;
    for (int i = 1; usable && i + 1 < argc; i += 2)
        usable = bench::ReadBenchCameraFlag(argv[i], argv[i + 1], options);
    if (!usable || !bench::AreUsable(options)) {
        std::fprintf(stderr, "usage: live_path_cameras %s\n", bench::BENCH_CAMERA_USAGE);
        return 2;
    }
    const sigset_t signals = bench::BlockStopSignals();
    std::vector<bench::BenchCamera> cameras = bench::StartBenchCameras(options);
    if (cameras.empty())
        return 1;
    std::printf("READY\n");
    std::fflush(stdout);
    bench::WaitForStopSignal(signals);
    for (auto& camera : cameras)
        camera.camera->Stop();
    return 0;
}

// Serves N simulated cameras on loopback for the edge storage benchmark
// (bench/edge_fill), on 127.0.4.(i+1), and cuts every one of them off at once
// (the camera's outage: nothing answered, no media, recording goes on) for
// --outage-for seconds, --outage-at seconds after READY. Prints the "CAMERA"
// lines, then "READY" with "OUTAGE <unix_ms> start" and "OUTAGE <unix_ms> end"
// as scheduled, flushed. On SIGINT or SIGTERM it writes, for camera i, the
// camera time of every frame it recorded (one ms value a line) to
// DIR/camera-i.times (--times-dir DIR) and exits.
#include "BenchCameras.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

int64_t UnixMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct EdgeOptions {
    bench::BenchCameraOptions cameras;
    uint32_t outageAtSeconds = 15;
    uint32_t outageForSeconds = 60;
    std::string timesDirectory;
};

bool ReadEdgeFlag(std::string_view flag, const char* value, EdgeOptions& options) {
    if (flag == "--outage-at")
        options.outageAtSeconds = uint32_t(std::strtoul(value, nullptr, 10));
    else if (flag == "--outage-for")
        options.outageForSeconds = uint32_t(std::strtoul(value, nullptr, 10));
    else if (flag == "--recording-seconds")
        options.cameras.recordingSeconds = uint32_t(std::strtoul(value, nullptr, 10));
    else if (flag == "--times-dir")
        options.timesDirectory = value;
    else
        return bench::ReadBenchCameraFlag(flag, value, options.cameras);
    return true;
}

void WriteFrameTimes(const std::vector<bench::BenchCamera>& cameras, const std::string& directory) {
    for (size_t i = 0; i < cameras.size(); ++i) {
        std::ofstream file(directory + "/camera-" + std::to_string(i) + ".times");
        for (int64_t time : cameras[i].rtsp->Recordings()->FrameTimes())
            file << time << '\n';
    }
}

int Usage() {
    std::fprintf(stderr, "usage: edge_cameras %s --times-dir DIR [--outage-at S] [--outage-for S]\n"
                 "       [--recording-seconds S]\n",
                 bench::BENCH_CAMERA_USAGE);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    EdgeOptions options;
    options.cameras.addressPrefix = "127.0.4";
    for (int i = 1; i + 1 < argc; i += 2)
        if (!ReadEdgeFlag(argv[i], argv[i + 1], options))
            return Usage();
    if (argc % 2 == 0 || !bench::AreUsable(options.cameras) || options.timesDirectory.empty() ||
        options.outageForSeconds == 0 || options.cameras.recordingSeconds == 0)
        return Usage();
    const sigset_t signals = bench::BlockStopSignals();
    std::vector<bench::BenchCamera> cameras = bench::StartBenchCameras(options.cameras);
    for (auto& camera : cameras)
        camera.camera->Outage().Schedule(std::chrono::seconds(options.outageAtSeconds),
                                         std::chrono::seconds(options.outageForSeconds));
    if (cameras.empty())
        return 1;
    const int64_t start = UnixMs() + int64_t(options.outageAtSeconds) * 1000;
    std::printf("READY\nOUTAGE %lld start\nOUTAGE %lld end\n", static_cast<long long>(start),
                static_cast<long long>(start + int64_t(options.outageForSeconds) * 1000));
    std::fflush(stdout);
    bench::WaitForStopSignal(signals);
    WriteFrameTimes(cameras, options.timesDirectory);
    for (auto& camera : cameras)
        camera.camera->Stop();
    return 0;
}

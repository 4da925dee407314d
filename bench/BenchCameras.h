// N simulated cameras in one process for the benchmarks: camera i on its own
// loopback address PREFIX.(i+1) (the driver reaches RTSP on port 554, so the
// cameras cannot share one address; each benchmark has its own prefix so that
// two can run at once), a web server on a free port and RTSP on 554,
// streaming the clips of one folder at one frame rate.
#pragma once

#include "Camera.h"
#include "RtspServer.h"

#include <signal.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct BenchCameraOptions {
    uint32_t cameras = 16;
    uint32_t frameRate = 30;
    std::string model = "SNC-VB630";
    std::string clips;
    camsim::AuthMode auth = camsim::AuthMode::None;
    std::string addressPrefix = "127.0.1"; // camera i listens on addressPrefix.(i+1)
    uint32_t recordingSeconds = 60;        // the length of one of the cameras' recordings
};

// Reads "--cameras N", "--frame-rate F", "--model M", "--clips DIR" or
// "--auth none|basic|digest"; false when the flag is none of them or its
// value is unusable.
bool ReadBenchCameraFlag(std::string_view flag, const char* value, BenchCameraOptions& options);
bool AreUsable(const BenchCameraOptions& options);
extern const char* const BENCH_CAMERA_USAGE;

struct BenchCamera {
    std::unique_ptr<camsim::Camera> camera;
    camsim::RtspServer* rtsp = nullptr; // owned by camera
};

// Starts every camera and prints "CAMERA i ADDRESS http=P rtsp=554" for each;
// on failure prints why and gives none.
std::vector<BenchCamera> StartBenchCameras(const BenchCameraOptions& options);

// SIGINT and SIGTERM blocked in every thread started after this, to be taken by WaitForStopSignal.
sigset_t BlockStopSignals();
void WaitForStopSignal(const sigset_t& signals);

} // namespace bench

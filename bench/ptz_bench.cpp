// PTZ figures against an in-process simulated camera (a generation 6 dome):
//   - host call to camera request: from PTZ_Move to the camera's record of the
//     "ptzf.cgi?Move=" request, and how long the host call itself took;
//   - a stop behind a burst: 100 PTZ_Move calls, then PTZ_Stop; the time from
//     PTZ_Stop to the camera's record of "Move=stop,motor", and how many of
//     the 100 moves reached the camera at all.
// Usage: ptz_bench [--moves 200] [--bursts 30]
#include "Camera.h"
#include "ptz/CSonyPTZHandler.h"
#include "support/FakePtzDriver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kModel = "SNC-WR630";
constexpr uint32_t kGeneration = 6;
constexpr const char* kCapabilities = "Pan=1;Tilt=1;Zoom=1;Preset=256";
constexpr uint32_t kBurstMoves = 100;
constexpr auto kRequestLimit = std::chrono::seconds(5);

struct Options {
    uint32_t moves = 200;
    uint32_t bursts = 30;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const uint32_t value = uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
        if (!std::strcmp(argv[i], "--moves"))
            options.moves = value;
        else if (!std::strcmp(argv[i], "--bursts"))
            options.bursts = value;
        else
            return false;
    }
    return argc % 2 == 1 && options.moves > 0 && options.bursts > 0;
}

double Ms(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

void Print(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-40s nothing arrived\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("%-40s n=%zu  p50 %.3f ms  p99 %.3f ms  max %.3f ms\n", what, ms.size(), at(0.5), at(0.99),
                ms.back());
}

class Bench {
public:
    explicit Bench(camsim::Camera& camera)
        : m_camera(camera), m_driver(camera.Http().Port(), kCapabilities, kGeneration, kModel),
          m_handler(&m_driver), m_ptz(m_handler.GetPTZApi(0)) {}

    bool Ready() const { return m_ptz != nullptr; }

    // When the camera first recorded a request whose target contains text.
    std::optional<Clock::time_point> AwaitRequest(const std::string& text) {
        for (const auto end = Clock::now() + kRequestLimit; Clock::now() < end; std::this_thread::yield())
            for (const camsim::RequestRecord& record : m_camera.Http().Requests())
                if (record.target.find(text) != std::string::npos)
                    return Clock::now();
        return std::nullopt;
    }

    // Answered with another status, or (0) not yet answered when read.
    uint32_t RefusedRequests() {
        uint32_t refused = 0;
        for (const camsim::RequestRecord& record : m_camera.Http().Requests())
            refused += record.status != 200;
        return refused;
    }

    size_t CountRequests(const std::string& text) {
        size_t count = 0;
        for (const camsim::RequestRecord& record : m_camera.Http().Requests())
            count += record.target.find(text) != std::string::npos;
        return count;
    }

    void MoveLatency(uint32_t moves) {
        std::vector<double> toCamera, call;
        uint32_t refused = 0;
        for (uint32_t i = 0; i < moves; ++i) {
            refused += RefusedRequests();
            m_camera.Http().ClearRequests();
            // Alternate directions: a repeated move at the same speed is not sent again.
            const Clock::time_point start = Clock::now();
            m_ptz->PTZ_Move(i % 2 ? 1 : 0, 8);
            call.push_back(Ms(Clock::now() - start));
            if (auto seen = AwaitRequest("ptzf.cgi?Move="))
                toCamera.push_back(Ms(*seen - start));
        }
        Settle();
        Print("PTZ_Move call returns", call);
        Print("PTZ_Move -> camera request", toCamera);
        std::printf("%-40s %u\n", "requests the camera did not answer 200", refused + RefusedRequests());
    }

    void StopBehindBurst(uint32_t bursts) {
        std::vector<double> toCamera, movesSent;
        for (uint32_t round = 0; round < bursts; ++round) {
            m_camera.Http().ClearRequests();
            for (uint32_t move = 0; move < kBurstMoves; ++move)
                m_ptz->PTZ_Move(int32_t(move % 8), 1 + move % 16);
            const Clock::time_point start = Clock::now();
            m_ptz->PTZ_Stop();
            if (auto seen = AwaitRequest("Move=stop,motor"))
                toCamera.push_back(Ms(*seen - start));
            movesSent.push_back(double(CountRequests("ptzf.cgi?Move=") - CountRequests("Move=stop")));
        }
        Print("PTZ_Stop behind 100 moves -> camera", toCamera);
        std::sort(movesSent.begin(), movesSent.end());
        std::printf("%-40s median %.0f  max %.0f of %u\n", "moves that reached the camera per burst",
                    movesSent[movesSent.size() / 2], movesSent.back(), kBurstMoves);
    }

private:
    // Ends the last move so the next figure starts from a still camera.
    void Settle() {
        m_ptz->PTZ_Stop();
        AwaitRequest("Move=stop,motor");
    }

    camsim::Camera& m_camera;
    talvex::test::FakePtzDriver m_driver;
    talvex::CSonyPTZHandler m_handler;
    talvex::ipcapture::IIPPTZApi* m_ptz;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: ptz_bench [--moves N] [--bursts N]\n");
        return 2;
    }
    camsim::CameraOptions cameraOptions;
    cameraOptions.model = kModel;
    cameraOptions.auth = camsim::AuthMode::None;
    camsim::Camera camera(cameraOptions);
    std::string error;
    if (!camera.Start(error)) {
        std::fprintf(stderr, "ptz_bench: camsim did not start: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    {
        Bench bench(camera);
        if (bench.Ready()) {
            bench.MoveLatency(options.moves);
            bench.StopBehindBurst(options.bursts);
        } else {
            std::fprintf(stderr, "ptz_bench: the PTZ object did not open\n");
            status = 1;
        }
    }
    camera.Stop();
    return status;
}

// PTZ figures against an in-process simulated camera (a generation 6 dome):
//   - host call to camera request: from PTZ_Move to the camera's record of the
//     "ptzf.cgi?Move=" request, and how long the host call itself took;
//   - a stop behind a burst: 100 PTZ_Move calls, then PTZ_Stop; the time from
//     PTZ_Stop to the camera's record of "Move=stop,motor", and how many of
//     the 100 moves reached the camera at all.
// Usage: ptz_bench [--moves 200] [--bursts 30]
#include "BenchFigures.h"
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

using bench::Clock;
using bench::Ms;

constexpr const char* kModel = "SNC-WR630";
constexpr uint32_t kGeneration = 6;
constexpr const char* kCapabilities = "Pan=1;Tilt=1;Zoom=1;Preset=256";
constexpr uint32_t kBurstMoves = 100;
constexpr auto kRequestLimit = std::chrono::seconds(5);


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
        bench::PrintLatencies("PTZ_Move call returns", call);
        bench::PrintLatencies("PTZ_Move -> camera request", toCamera);
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
        bench::PrintLatencies("PTZ_Stop behind 100 moves -> camera", toCamera);
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
    uint32_t moves = 200, bursts = 30;
    if (!bench::ParseCounts(argc, argv, {{"--moves", &moves}, {"--bursts", &bursts}})) {
        std::fprintf(stderr, "usage: ptz_bench [--moves N] [--bursts N]\n");
        return 2;
    }
    std::unique_ptr<camsim::Camera> camera = bench::StartCamera("ptz_bench", kModel);
    if (!camera)
        return 1;
    int status = 0;
    {
        Bench figures(*camera);
        if (figures.Ready()) {
            figures.MoveLatency(moves);
            figures.StopBehindBurst(bursts);
        } else {
            std::fprintf(stderr, "ptz_bench: the PTZ object did not open\n");
            status = 1;
        }
    }
    camera->Stop();
    return status;
}

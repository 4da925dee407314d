// Serves N simulated cameras on loopback for the fault soak (bench/soak), as
// live_path_cameras does but on 127.0.2.(i+1), and injects one fault into all
// of them every --fault-interval seconds, in rotation:
//   drop            every RTSP connection closed (the camera takes new ones at once)
//   stall           media stops for --stall-seconds, sessions stay
//   401-burst       connections closed and every request challenged for --auth-burst-seconds
//   garbage         a burst of non-RTSP bytes on every RTSP connection
//   bye             every playing session sends an RTCP BYE and stops sending
//   loss-burst      every --loss-every-nth RTP packet lost for --loss-seconds
//   oversized-frame the next key frame of every session grown to --oversized-bytes
//   outage          every camera cut off (nothing answered, no media, recording goes on)
//                   for --stall-seconds; not in the default rotation (--faults names it)
// Prints "FAULT <unix_ms> <name> start" and "FAULT <unix_ms> <name> end" (end:
// the cameras are back to normal), flushed, after the "CAMERA" and "READY"
// lines. Runs until SIGINT or SIGTERM; no fault starts after --last-fault seconds.
#include "BenchCameras.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::seconds;

// Key frames of the soak's clip come every second; a grown one has gone out within this.
constexpr auto KEY_FRAME_WAIT = 2s;

struct SoakOptions {
    bench::BenchCameraOptions cameras;
    uint32_t faultIntervalSeconds = 60;
    uint32_t firstFaultSeconds = 0; // 0: one interval after READY
    uint32_t lastFaultSeconds = 0;  // no fault starts later than this after READY; 0: no limit
    uint32_t stallSeconds = 20;
    uint32_t authBurstSeconds = 10;
    uint32_t lossSeconds = 3;
    uint32_t lossEveryNth = 1;
    uint32_t oversizedBytes = 3 * 1024 * 1024;
    std::vector<std::string> rotation{"drop", "stall", "401-burst", "garbage", "bye", "loss-burst", "oversized-frame"};
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');)
        if (!item.empty())
            items.push_back(item);
    return items;
}

bool ReadSoakFlag(std::string_view flag, const char* value, SoakOptions& options) {
    const auto number = [&](uint32_t& target) {
        target = uint32_t(std::strtoul(value, nullptr, 10));
        return true;
    };
    if (flag == "--fault-interval")
        return number(options.faultIntervalSeconds);
    if (flag == "--first-fault")
        return number(options.firstFaultSeconds);
    if (flag == "--last-fault")
        return number(options.lastFaultSeconds);
    if (flag == "--stall-seconds")
        return number(options.stallSeconds);
    if (flag == "--auth-burst-seconds")
        return number(options.authBurstSeconds);
    if (flag == "--loss-seconds")
        return number(options.lossSeconds);
    if (flag == "--loss-every-nth")
        return number(options.lossEveryNth);
    if (flag == "--oversized-bytes")
        return number(options.oversizedBytes);
    if (flag == "--faults") {
        options.rotation = SplitList(value);
        return true;
    }
    return bench::ReadBenchCameraFlag(flag, value, options.cameras);
}

int64_t UnixMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void PrintFault(const std::string& name, const char* phase) {
    std::printf("FAULT %lld %s %s\n", static_cast<long long>(UnixMs()), name.c_str(), phase);
    std::fflush(stdout);
}

class FaultScheduler {
public:
    using Fault = std::function<void()>;

    FaultScheduler(std::vector<bench::BenchCamera>& cameras, const SoakOptions& options)
        : m_cameras(cameras), m_options(options), m_faults(MakeFaults()) {}
    ~FaultScheduler() { Stop(); }

    // The names of the rotation that are not known faults.
    std::vector<std::string> UnknownFaults() const {
        std::vector<std::string> unknown;
        for (const std::string& name : m_options.rotation)
            if (!m_faults.count(name))
                unknown.push_back(name);
        return unknown;
    }
    void Start() {
        m_thread = std::thread([this] { Run(); });
    }
    void Stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void Run() {
        const Seconds interval(m_options.faultIntervalSeconds);
        const Seconds first = m_options.firstFaultSeconds ? Seconds(m_options.firstFaultSeconds) : interval;
        const auto ready = std::chrono::steady_clock::now();
        const auto last = m_options.lastFaultSeconds ? ready + Seconds(m_options.lastFaultSeconds)
                                                     : std::chrono::steady_clock::time_point::max();
        auto due = ready + first;
        for (size_t turn = 0; due <= last && SleepUntil(due); ++turn, due += interval) {
            const std::string& name = m_options.rotation[turn % m_options.rotation.size()];
            PrintFault(name, "start");
            m_faults.at(name)();
            PrintFault(name, "end");
        }
    }

    // False when stopped first.
    bool SleepUntil(std::chrono::steady_clock::time_point when) {
        std::unique_lock lock(m_mutex);
        return !m_wake.wait_until(lock, when, [this] { return m_stopping; });
    }
    // A fault's duration: over early when the scheduler stops, so the fault is still undone.
    void Hold(Seconds duration) { SleepUntil(std::chrono::steady_clock::now() + duration); }

    void ForEachRtsp(const std::function<void(camsim::RtspServer&)>& action) {
        for (auto& camera : m_cameras)
            action(*camera.rtsp);
    }

    std::map<std::string, Fault> MakeFaults() {
        return {
            {"drop", [this] { ForEachRtsp([](auto& rtsp) { rtsp.DropConnections(); }); }},
            {"stall",
             [this] {
                 ForEachRtsp([](auto& rtsp) { rtsp.Faults().stopSending = true; });
                 Hold(Seconds(m_options.stallSeconds));
                 ForEachRtsp([](auto& rtsp) { rtsp.Faults().stopSending = false; });
             }},
            {"401-burst",
             [this] {
                 // Dropped as well, so every client has to authenticate again into the burst.
                 ForEachRtsp([](auto& rtsp) {
                     rtsp.Faults().answer401 = true;
                     rtsp.DropConnections();
                 });
                 Hold(Seconds(m_options.authBurstSeconds));
                 ForEachRtsp([](auto& rtsp) { rtsp.Faults().answer401 = false; });
             }},
            {"garbage", [this] { ForEachRtsp([](auto& rtsp) { rtsp.SendGarbage(); }); }},
            {"bye", [this] { ForEachRtsp([](auto& rtsp) { rtsp.SendBye(); }); }},
            {"loss-burst",
             [this] {
                 ForEachRtsp([this](auto& rtsp) { rtsp.Faults().loseEveryNth = m_options.lossEveryNth; });
                 Hold(Seconds(m_options.lossSeconds));
                 ForEachRtsp([](auto& rtsp) { rtsp.Faults().loseEveryNth = 0; });
             }},
            {"oversized-frame",
             [this] {
                 ForEachRtsp([this](auto& rtsp) { rtsp.GrowNextKeyFrame(m_options.oversizedBytes); });
                 Hold(std::chrono::duration_cast<Seconds>(KEY_FRAME_WAIT));
             }},
            {"outage",
             [this] {
                 for (auto& camera : m_cameras)
                     camera.camera->Outage().Schedule(Seconds(0), Seconds(m_options.stallSeconds));
                 Hold(Seconds(m_options.stallSeconds));
             }},
        };
    }

    std::vector<bench::BenchCamera>& m_cameras;
    const SoakOptions& m_options;
    const std::map<std::string, Fault> m_faults;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv) {
    SoakOptions options;
    options.cameras.auth = camsim::AuthMode::Digest;
    options.cameras.addressPrefix = "127.0.2"; // bench/live_path's cameras are on 127.0.1
    bool usable = argc % 2 == 1;
    for (int i = 1; usable && i + 1 < argc; i += 2)
        usable = ReadSoakFlag(argv[i], argv[i + 1], options);
    if (!usable || !bench::AreUsable(options.cameras) || options.faultIntervalSeconds == 0 ||
        options.rotation.empty()) {
        std::fprintf(stderr,
                     "usage: soak_cameras %s [--fault-interval S] [--first-fault S] [--last-fault S]\n"
                     "       [--stall-seconds S]"
                     " [--auth-burst-seconds S] [--loss-seconds S] [--loss-every-nth N] [--oversized-bytes N]\n"
                     "       [--faults NAME,...]\n",
                     bench::BENCH_CAMERA_USAGE);
        return 2;
    }
    const sigset_t signals = bench::BlockStopSignals();
    std::vector<bench::BenchCamera> cameras = bench::StartBenchCameras(options.cameras);
    if (cameras.empty())
        return 1;
    FaultScheduler scheduler(cameras, options);
    if (const auto unknown = scheduler.UnknownFaults(); !unknown.empty()) {
        std::fprintf(stderr, "soak_cameras: unknown fault %s\n", unknown.front().c_str());
        return 2;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    scheduler.Start();
    bench::WaitForStopSignal(signals);
    scheduler.Stop();
    for (auto& camera : cameras)
        camera.camera->Stop();
    return 0;
}

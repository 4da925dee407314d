// Motion and digital-input figures against an in-process simulated camera:
//   - latency from a change of the camera's motion window (a /camsim/control
//     request) to the motion frame at the host's frame sink;
//   - latency from a change of a camera sensor to the host's input report
//     (bounded by the 2 s input poll);
//   - CPU of N idle motion channels (the worker threads' own time, read from
//     /proc/self/task, so the simulated camera's threads do not count).
// Usage: events_bench [--channels 64] [--seconds 30] [--toggles 20]
#include "BenchFigures.h"
#include "events/CSonyDigitalIO.h"
#include "events/CSonyMotionChannel.h"
#include "http/CHttpSender.h"
#include "http/HUtils.h"
#include "support/FakeDriver.h"
#include "unit/video/FakeMediaHost.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::Clock;
using bench::PrintLatencies;
using talvex::test::FakeDriver;
using talvex::test::FakeFrameAllocator;

// The moments the host side saw a state (motion frame byte or input state).
class StateClock {
public:
    void Seen(int state) {
        std::lock_guard lock(m_mutex);
        m_last = state;
        m_at = Clock::now();
        m_changed.notify_all();
    }
    // When the state was last seen, waiting up to the deadline for it.
    std::optional<Clock::time_point> WaitFor(int state, Clock::time_point deadline) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_until(lock, deadline, [&] { return m_last == state; }))
            return std::nullopt;
        return m_at;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_last = -1;
    Clock::time_point m_at;
};

class MotionSink : public talvex::ipcapture::IVideoChannelCallback {
public:
    bool OnFrame(talvex::ipcapture::IVideoFrame* frame) override {
        if (frame->GetDataSize() == 2)
            states.Seen(frame->GetBuffer()[1]);
        return true;
    }
    void OnStateChanged(uint32_t) override {}
    void OnSignalLost() override {}
    StateClock states;
};

class InputSink : public talvex::ipcapture::ICaptureIOCallback {
public:
    void OnInputChanged(uint32_t, uint32_t state) override { states.Seen(int(state)); }
    void OnFailure() override {}
    StateClock states;
};

// CPU seconds of this process's threads whose name begins with the prefix.
double ThreadCpuSeconds(const std::string& namePrefix) {
    const double ticks = double(sysconf(_SC_CLK_TCK));
    double total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos ||
            line.compare(open + 1, namePrefix.size(), namePrefix) != 0)
            continue;
        // After the name: state, then fields 4..; utime and stime are fields 14 and 15.
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int index = 3; rest >> field && index <= 15; ++index) {
            if (index == 14)
                utime = std::stoull(field);
            if (index == 15)
                stime = std::stoull(field);
        }
        total += double(utime + stime) / ticks;
    }
    return total;
}

constexpr uint32_t kPhaseSpreadMs = 2000;

// The camera the figures are taken against: a generation 6 model.
constexpr const char* kModel = "SNC-VB630";
constexpr uint32_t kGeneration = 6;

class Bench {
public:
    explicit Bench(uint16_t port) : m_driver("127.0.0.1", port), m_control(*m_driver.GetDeviceInfo()) {
        m_driver.m_allocator = &m_allocator;
        m_driver.m_inputs = 1;
        m_driver.m_device.generation = kGeneration;
    }

    // Latency of each change from the control request to the host seeing it.
    std::vector<double> Toggle(const char* onQuery, const char* offQuery, StateClock& states, int onState,
                               int offState, uint32_t toggles, std::chrono::milliseconds limit) {
        std::vector<double> ms;
        std::mt19937 random(std::random_device{}());
        for (uint32_t i = 0; i < toggles * 2; ++i) {
            const bool on = i % 2 == 0;
            // A change at a random moment, not just after the last report: a
            // polled input would otherwise always wait one whole period.
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % kPhaseSpreadMs));
            const Clock::time_point start = Clock::now();
            if (talvex::HUtils::SendCommand(m_control, on ? onQuery : offQuery).GetDetail() != 0)
                break;
            if (auto seen = states.WaitFor(on ? onState : offState, start + limit))
                ms.push_back(bench::Ms(*seen - start));
        }
        return ms;
    }

    void MotionLatency(uint32_t toggles) {
        MotionSink sink;
        talvex::CSonyMotionChannel channel(0, &m_driver, &sink);
        channel.Start();
        sink.states.WaitFor(0, Clock::now() + std::chrono::seconds(5)); // the first edge after start
        PrintLatencies("motion window -> motion frame",
                       Toggle("/camsim/control?motion=MdWin1", "/camsim/control?motion=off", sink.states, 1, 0,
                              toggles, std::chrono::seconds(3)));
        channel.Stop();
    }

    void InputLatency(uint32_t toggles) {
        InputSink sink;
        talvex::CSonyDigitalIO io(&m_driver);
        io.SetCallback(&sink);
        io.StartIO();
        sink.states.WaitFor(1, Clock::now() + std::chrono::seconds(5)); // the first poll: input off
        PrintLatencies("sensor -> input report (2 s poll)",
                       Toggle("/camsim/control?sensor1=on", "/camsim/control?sensor1=off", sink.states, 2, 1,
                              toggles, std::chrono::seconds(5)));
        io.StopIO();
    }

    void IdleCpu(uint32_t channels, uint32_t seconds) {
        std::vector<std::unique_ptr<MotionSink>> sinks;
        std::vector<std::unique_ptr<talvex::CSonyMotionChannel>> motion;
        for (uint32_t i = 0; i < channels; ++i) {
            sinks.push_back(std::make_unique<MotionSink>());
            motion.push_back(std::make_unique<talvex::CSonyMotionChannel>(i, &m_driver, sinks.back().get()));
            motion.back()->Start();
        }
        std::this_thread::sleep_for(std::chrono::seconds(3)); // every stream open
        const double before = ThreadCpuSeconds("Motion");
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double used = ThreadCpuSeconds("Motion") - before;
        std::printf("%u idle motion channels (a record a second each): %.2f %% of one core, %.1f us per channel-second\n",
                    channels, 100.0 * used / seconds, 1e6 * used / seconds / channels);
        for (auto& channel : motion)
            channel->Stop();
    }

private:
    FakeFrameAllocator m_allocator;
    FakeDriver m_driver;
    Web::CHttpSender m_control;
};

} // namespace

int main(int argc, char** argv) {
    uint32_t channels = 64, seconds = 30, toggles = 20;
    if (!bench::ParseCounts(argc, argv, {{"--channels", &channels}, {"--seconds", &seconds}, {"--toggles", &toggles}})) {
        std::fprintf(stderr, "usage: events_bench [--channels N] [--seconds N] [--toggles N]\n");
        return 2;
    }
    std::unique_ptr<camsim::Camera> camera = bench::StartCamera("events_bench", kModel);
    if (!camera)
        return 1;
    Bench figures(camera->Http().Port());
    figures.MotionLatency(toggles);
    figures.InputLatency(std::max(1u, toggles / 4));
    figures.IdleCpu(channels, seconds);
    camera->Stop();
    return 0;
}

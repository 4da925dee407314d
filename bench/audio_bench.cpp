// Audio figures of fennwick-host against an in-process simulated camera
// (SNC-VB630, RTSP on a free port, G.711 mu-law microphone):
//   - CPU of one audio input stream beside its video stream: the host's CPU
//     time (user + system, every thread) per second of recording with
//     --audio less the same recording without it;
//   - the audio/video placement in a record --audio file: where the audio
//     track begins and ends against the video track;
//   - speak: the bytes the camera received (its output file) against the
//     source, both decoded by ffmpeg to 8 kHz: the signal-to-noise ratio of
//     the G.711 round trip.
// Each figure's line is followed by the command it was taken with.
// Usage: audio_bench [--seconds 10] [--runs 3]
#include "AudioUpload.h"
#include "BenchFigures.h"
#include "RtspServer.h"
#include "support/ChildProcess.h"
#include "support/HostDirectory.h"
#include "support/MediaProbe.h"

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using talvex::test::RunTool;

constexpr uint32_t kSampleRate = 8000;
// The received audio may begin a few milliseconds after the source: the lags tried when lining them up.
constexpr size_t kMaxLagSamples = 800;

double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class AudioBench {
public:
    AudioBench(camsim::Camera& camera, const talvex::test::HostDirectory& folder)
        : m_device(" --generation 6 --model SNC-VB630 --address 127.0.0.1 --port " +
                   std::to_string(camera.Http().Port()) + " --library " FENNWICK_DRIVER_LIBRARY),
          m_folder(folder) {}

    // Host CPU milliseconds per second of a recording; negative when the host failed.
    double RecordCpu(const std::string& options, uint32_t seconds, std::string& command) {
        command = std::string(FENNWICK_HOST_EXECUTABLE) + " record --quiet --seconds " + std::to_string(seconds) +
                  " " + options + m_device;
        const double before = ChildrenCpuSeconds();
        const talvex::test::ToolResult result = RunTool(command);
        if (result.exitCode != 0) {
            std::fprintf(stderr, "%s\n", result.output.c_str());
            return -1;
        }
        return (ChildrenCpuSeconds() - before) * 1000 / seconds;
    }

    void CpuPerAudioStream(uint32_t seconds, uint32_t runs) {
        double video = 0, both = 0;
        std::string videoCommand, bothCommand;
        for (uint32_t run = 0; run < runs; ++run) {
            video += RecordCpu("--discard", seconds, videoCommand) / runs;
            both += RecordCpu("--discard --audio", seconds, bothCommand) / runs;
        }
        std::printf("host CPU, video only                     %.2f ms/s\n  $ %s\n", video, videoCommand.c_str());
        std::printf("host CPU, video and audio                %.2f ms/s\n  $ %s\n", both, bothCommand.c_str());
        std::printf("one audio stream beside its video        %.2f ms/s (%.3f %% of a core)\n", both - video,
                    (both - video) / 10);
    }

    void Placement(uint32_t seconds) {
        const std::string out = m_folder.Path() + "placement";
        std::string command;
        if (RecordCpu("--audio --out " + out, seconds, command) < 0)
            return;
        const std::string file = out + "/rec.mkv";
        const std::vector<double> video = talvex::test::PacketTimes(file);
        const std::vector<double> audio = talvex::test::PacketTimes(file, "a:0");
        if (video.size() < 2 || audio.size() < 2) {
            std::printf("audio/video placement                    no audio or video track\n");
            return;
        }
        const double audioFrame = audio[1] - audio[0];
        std::printf("audio start - video start                %+.0f ms\n", (audio.front() - video.front()) * 1000);
        std::printf("audio end - video end                    %+.0f ms (audio frames of %.0f ms)\n  $ %s\n",
                    (audio.back() + audioFrame - video.back()) * 1000, audioFrame * 1000, command.c_str());
    }

    void SpeakRoundTrip(const std::string& heardPath) {
        const std::string source = std::string(CAMSIM_CLIPS_DIR) + "/voice-16k.wav";
        const std::string command = std::string(FENNWICK_HOST_EXECUTABLE) + " speak --codec g711u --file " + source + m_device;
        const talvex::test::ToolResult result = RunTool(command);
        if (result.exitCode != 0) {
            std::fprintf(stderr, "%s\n", result.output.c_str());
            return;
        }
        const std::vector<int16_t> reference = Decode("-i " + source);
        const std::vector<int16_t> heard = Decode("-f mulaw -ar 8000 -i " + heardPath);
        std::printf("speak, G.711 round trip SNR              %.1f dB over %.2f s\n  $ %s\n", BestSnr(reference, heard),
                    double(heard.size()) / kSampleRate, command.c_str());
    }

private:
    // The input as 8 kHz mono 16-bit samples, decoded by ffmpeg.
    std::vector<int16_t> Decode(const std::string& input) const {
        const std::string raw = m_folder.Path() + "decoded.raw";
        RunTool("ffmpeg -nostdin -v error -y " + input + " -ar 8000 -ac 1 -f s16le " + raw);
        std::ifstream file(raw, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    // SNR in dB of heard against reference at the lag that fits best.
    static double BestSnr(const std::vector<int16_t>& reference, const std::vector<int16_t>& heard) {
        double best = -INFINITY;
        for (size_t lag = 0; lag < kMaxLagSamples && lag < heard.size(); ++lag) {
            double signal = 0, noise = 0;
            for (size_t i = 0; i + lag < heard.size() && i < reference.size(); ++i) {
                const double wanted = reference[i];
                signal += wanted * wanted;
                noise += (heard[i + lag] - wanted) * (heard[i + lag] - wanted);
            }
            if (noise > 0 && signal > 0)
                best = std::max(best, 10 * std::log10(signal / noise));
        }
        return best;
    }

    const std::string m_device;
    const talvex::test::HostDirectory& m_folder;
};

} // namespace

int main(int argc, char** argv) {
    uint32_t seconds = 10;
    uint32_t runs = 3;
    if (!bench::ParseCounts(argc, argv, {{"--seconds", &seconds}, {"--runs", &runs}})) {
        std::fprintf(stderr, "usage: audio_bench [--seconds 10] [--runs 3]\n");
        return 2;
    }
    const talvex::test::HostDirectory folder;
    camsim::CameraOptions options;
    options.model = "SNC-VB630";
    options.auth = camsim::AuthMode::None;
    camsim::Camera camera(options);
    camera.AddServer(std::make_unique<camsim::RtspServer>(camsim::RtspServerOptions{}, &camera));
    const std::string heard = folder.Path() + "heard.ulaw";
    camera.AddServer(std::make_unique<camsim::AudioUpload>(camera, heard));
    std::string error;
    if (!camera.Start(error)) {
        std::fprintf(stderr, "audio_bench: camsim did not start: %s\n", error.c_str());
        return 1;
    }
    AudioBench bench(camera, folder);
    bench.CpuPerAudioStream(seconds, runs);
    bench.Placement(seconds);
    bench.SpeakRoundTrip(heard);
    camera.Stop();
    return 0;
}

#include "HostCommands.h"

#include "DeviceProfile.h"
#include "DeviceSettings.h"
#include "DriverLibrary.h"
#include "HostCoreVersion.h"
#include "HostDebugSink.h"
#include "HostFrames.h"
#include "StreamRecorder.h"

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace fennwick_host {
namespace {

// The only video channel the host records.
constexpr uint32_t kRecordedChannel = 0;
// sigtimedwait wakes up at least this often to look at the clock.
constexpr long kSignalWaitSliceSeconds = 1;

int Fail(const std::string& reason) {
    std::fprintf(stderr, "fennwick-host: %s\n", reason.c_str());
    return kExitFailure;
}

std::optional<std::string> ReadDevice(const HostOptions& options, DeviceProfile& profile) {
    if (!options.profilePath.empty())
        if (auto error = LoadDeviceProfile(options.profilePath, profile))
            return error;
    if (options.generation)
        SetGeneration(profile, *options.generation);
    for (const auto& [key, value] : options.deviceOptions)
        if (auto error = SetDeviceOption(profile, key, value))
            return "--" + *error;
    if (profile.address.empty())
        return std::string("no device address (profile key address= or --address)");
    // The driver chooses commands and streams by model.
    if (profile.model.empty())
        return std::string("no device model (profile key model= or --model)");
    return std::nullopt;
}

// The device, the host's debug sink and the loaded driver library of one command.
struct HostSetup {
    DeviceProfile profile;
    HostDebugSink sink;
    std::unique_ptr<DriverLibrary> library;
};

std::optional<std::string> PrepareHost(const HostOptions& options, HostSetup& setup) {
    if (auto error = ReadDevice(options, setup.profile))
        return error;
    if (!options.hostVersion.empty() && !SetHostCoreVersion(options.hostVersion))
        return "--host-version wants A.B.C.D (each 0 to 65535), not '" + options.hostVersion + "'";
    if (!options.logPath.empty())
        if (auto error = setup.sink.OpenLogFile(options.logPath))
            return error;
    std::string libraryPath = options.libraryPath.empty() ? DriverLibrary::DefaultPath() : options.libraryPath;
    std::string error;
    setup.library = DriverLibrary::Load(libraryPath, error);
    if (!setup.library)
        return error;
    return std::nullopt;
}

// SIGINT and SIGTERM are taken with sigtimedwait by the main thread. They are
// blocked before the driver makes its threads, which inherit the mask, so no
// driver thread is ever interrupted by them.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

// Waits for SIGINT or SIGTERM, or for the given seconds when not 0.
void WaitForStop(const sigset_t& signals, uint32_t seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        timespec slice{kSignalWaitSliceSeconds, 0};
        if (sigtimedwait(&signals, nullptr, &slice) > 0)
            return;
        if (errno != EAGAIN && errno != EINTR)
            return;
        if (seconds != 0 && std::chrono::steady_clock::now() >= deadline)
            return;
    }
}

struct RecordedStream {
    StreamRequest request;
    std::unique_ptr<VideoChannelSettings> settings;
    std::unique_ptr<StreamRecorder> recorder;
    bool started = false;
};

std::vector<RecordedStream> PrepareStreams(const HostOptions& options, uint32_t defaultCodec) {
    std::vector<RecordedStream> streams;
    for (StreamRequest request : options.streams) {
        if (request.codecType == kDeviceDefaultCodec)
            request.codecType = defaultCodec;
        std::string name(StreamName(request.streamIndex));
        std::string path =
            options.discard ? std::string() : (std::filesystem::path(options.outDirectory) / (name + ".mkv")).string();
        streams.push_back({request, std::make_unique<VideoChannelSettings>(request),
                           std::make_unique<StreamRecorder>(name, path)});
    }
    return streams;
}

// The number of streams the driver started; each one it refused is named on stderr.
size_t StartStreams(talvex::ipcapture::IIPVideoCaptureEx2& capture, std::vector<RecordedStream>& streams) {
    size_t started = 0;
    for (RecordedStream& stream : streams) {
        stream.started = capture.StartStream(kRecordedChannel, stream.request.streamIndex, stream.recorder.get(),
                                             stream.settings.get());
        if (stream.started)
            ++started;
        else
            std::fprintf(stderr, "fennwick-host: the driver did not start stream %s\n",
                         std::string(StreamName(stream.request.streamIndex)).c_str());
    }
    return started;
}

// Stops the started streams, then finishes every file and prints the summaries.
int FinishRecording(talvex::ipcapture::IIPVideoCaptureEx2& capture, std::vector<RecordedStream>& streams) {
    for (RecordedStream& stream : streams)
        if (stream.started)
            capture.StopStream(kRecordedChannel, stream.request.streamIndex);
    int status = kExitSuccess;
    for (RecordedStream& stream : streams) {
        stream.recorder->Finish();
        StreamReport report = stream.recorder->Report();
        std::fputs(FormatStreamSummary(report).c_str(), stdout);
        bool nothingWritten = !report.path.empty() && report.framesWritten == 0;
        if (!report.error.empty() || report.statistics.Frames() == 0 || nothingWritten)
            status = kExitFailure;
    }
    std::fflush(stdout);
    return status;
}

} // namespace

int RunOpenCommand(const HostOptions& options) {
    HostSetup setup;
    if (auto error = PrepareHost(options, setup))
        return Fail(*error);
    DeviceSettings settings(std::move(setup.profile));
    DriverObject driver(*setup.library, setup.library->Create());
    if (!driver)
        return Fail("the driver library could not make a driver object");
    if (!driver->Open(&setup.sink, nullptr, &settings))
        return Fail("the driver could not open " + std::string(settings.GetDeviceName()) + " (see its log above)");
    driver->Close();
    return kExitSuccess;
}

int RunRecordCommand(const HostOptions& options) {
    sigset_t stopSignals = BlockStopSignals();
    HostSetup setup;
    if (auto error = PrepareHost(options, setup))
        return Fail(*error);
    std::error_code directoryError;
    if (!options.discard && !std::filesystem::create_directories(options.outDirectory, directoryError) &&
        directoryError)
        return Fail("cannot make " + options.outDirectory + ": " + directoryError.message());

    // Frames and sinks outlive the driver object: its threads use them until it is deleted.
    FrameAllocator allocator;
    std::vector<RecordedStream> streams = PrepareStreams(options, setup.profile.codecType);
    DeviceSettings settings(std::move(setup.profile));
    DriverObject driver(*setup.library, setup.library->Create());
    if (!driver)
        return Fail("the driver library could not make a driver object");
    if (!driver->Open(&setup.sink, &allocator, &settings))
        return Fail("the driver could not open " + std::string(settings.GetDeviceName()) + " (see its log above)");
    talvex::ipcapture::IIPVideoCaptureEx2* capture = driver->GetVideoCaptureEx2();
    if (!capture)
        return Fail("the driver offers no video capture for " + std::string(settings.GetDeviceName()));

    size_t started = StartStreams(*capture, streams);
    if (started == 0) {
        FinishRecording(*capture, streams);
        return Fail("no stream started");
    }
    std::fprintf(stderr, "fennwick-host: recording %zu stream(s) of %s%s; Ctrl-C stops\n", started,
                 settings.GetDeviceName(),
                 options.seconds ? (" for " + std::to_string(options.seconds) + " s").c_str() : "");
    WaitForStop(stopSignals, options.seconds);
    int status = FinishRecording(*capture, streams);
    driver->Close();
    return status;
}

} // namespace fennwick_host

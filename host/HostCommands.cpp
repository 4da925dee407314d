#include "HostCommands.h"

#include "AudioRecorder.h"
#include "AudioTranscoding.h"
#include "SpeakSession.h"
#include "DeviceProfile.h"
#include "DeviceSettings.h"
#include "DriverLibrary.h"
#include "HostCoreVersion.h"
#include "HostDebugSink.h"
#include "HostFrames.h"
#include "IoEventPrinter.h"
#include "PrivacyZoneList.h"
#include "PtzSession.h"
#include "QueryFindings.h"
#include "QueryOutcome.h"
#include "StreamEventLog.h"
#include "StreamRecorder.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace fennwick_host {
namespace {

// The only video channel the host records.
constexpr uint32_t kRecordedChannel = 0;
// The video capture's switch for filling outages from the camera's storage: a 16-bit integer.
constexpr const char* kEdgeStorageProperty = "EdgeStorageState";
constexpr uint32_t kEdgeStoragePropertyType = 2;
constexpr int16_t kEdgeStorageOn = 1;
// sigtimedwait wakes up at least this often to look at the clock.
constexpr long kSignalWaitSliceSeconds = 1;

AudioCodec AudioCodecOfSpeakCodec(SpeakCodec codec) {
    switch (codec) {
    case SpeakCodec::G711a:
        return AudioCodec::ALaw;
    case SpeakCodec::G726:
        return AudioCodec::G726;
    case SpeakCodec::Aac:
        return AudioCodec::Aac;
    default:
        return AudioCodec::MuLaw;
    }
}

int Fail(const std::string& reason) {
    std::fprintf(stderr, "fennwick-host: %s\n", reason.c_str());
    return kExitFailure;
}

// The profile's keys, then the device keys given as options.
std::optional<std::string> ReadConnection(const HostOptions& options, DeviceProfile& profile) {
    if (!options.profilePath.empty())
        if (auto error = LoadDeviceProfile(options.profilePath, profile))
            return error;
    for (const auto& [key, value] : options.deviceOptions)
        if (auto error = SetDeviceOption(profile, key, value))
            return "--" + *error;
    return std::nullopt;
}

std::optional<std::string> ReadDevice(const HostOptions& options, DeviceProfile& profile) {
    if (auto error = ReadConnection(options, profile))
        return error;
    if (options.generation)
        SetGeneration(profile, *options.generation);
    if (options.ptzCapabilities)
        SetPtzCapabilities(profile, *options.ptzCapabilities);
    if (options.edgeStorage)
        SetEdgeStorage(profile);
    if (options.command == "record" || options.command == "speak")
        OfferAudioChannels(profile);
    if (profile.address.empty() && options.cameras.empty())
        return std::string("no device address (profile key address= or --address, or --camera)");
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

// The host version, the log file and the driver library of the options.
std::optional<std::string> PrepareLibrary(const HostOptions& options, HostSetup& setup) {
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

std::optional<std::string> PrepareHost(const HostOptions& options, HostSetup& setup) {
    if (auto error = ReadDevice(options, setup.profile))
        return error;
    return PrepareLibrary(options, setup);
}

// The driver converts zones into camera pixels with what the capability query
// stored: whether the camera masks at all (5) and the picture size its mask
// coordinates refer to (6). Recording without them would silently leave the
// picture unmasked.
std::optional<std::string> CheckPrivacyProperties(const DeviceProfile& profile) {
    const auto supported = profile.properties.find(kPropertyPrivacyZones);
    const auto maximal = profile.properties.find(kPropertyMaximalResolution);
    if (supported == profile.properties.end() || maximal == profile.properties.end() || maximal->second.empty())
        return std::string("--privacy needs device properties 5 (privacy zones supported) and 6 (maximal "
                           "resolution), which the profile lacks: write a profile with fennwick-host query "
                           "--out PROFILE and record with --profile PROFILE");
    if (std::atoi(supported->second.c_str()) <= 0)
        return "--privacy: the camera has no privacy masking (device property 5 is '" + supported->second + "')";
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

// Waits for SIGINT or SIGTERM, or for the given seconds when not 0; everySlice
// runs about once a second with the seconds left (0 without a limit).
void WaitForStop(const sigset_t& signals, uint32_t seconds, const std::function<void(uint32_t)>& everySlice = {}) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        timespec slice{kSignalWaitSliceSeconds, 0};
        if (sigtimedwait(&signals, nullptr, &slice) > 0)
            return;
        if (errno != EAGAIN && errno != EINTR)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (seconds != 0 && now >= deadline)
            return;
        const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - now).count();
        if (everySlice)
            everySlice(seconds == 0 ? 0 : uint32_t(left));
    }
}

// The driver's name of a stream in its log ("Recording stream of device
// 10.0.0.5:80"): the host learns why a stream cannot start from these lines.
std::string DriverStreamTitle(uint32_t streamIndex, const DeviceProfile& profile) {
    static constexpr const char* kWords[] = {"Recording", "Live", "Remote"};
    const std::string word = streamIndex < std::size(kWords) ? kWords[streamIndex] : "Video";
    return word + " stream of device " + profile.address + ":" + std::to_string(profile.port);
}

struct RecordedStream {
    StreamRequest request;
    std::unique_ptr<VideoChannelSettings> settings;
    std::unique_ptr<StreamRecorder> recorder;
    bool started = false;
};

// One camera of a recording. Its streams (their sinks) outlive its driver
// object, whose threads use them until it is deleted.
struct RecordedCamera {
    std::string label; // "ADDRESS/" before its stream names when several cameras record
    std::vector<RecordedStream> streams;
    std::unique_ptr<AudioRecorder> audio; // with --audio
    bool audioStarted = false;
    std::unique_ptr<DeviceSettings> settings;
    std::unique_ptr<DriverObject> driver;
    talvex::ipcapture::IIPVideoCaptureEx2* capture = nullptr;
    talvex::ipcapture::IIPAudioCapture2* audioCapture = nullptr;
};

// The one audio input channel the host records.
constexpr uint32_t kRecordedAudioChannel = 0;

// The devices to record: the profile's own, or one per --camera.
std::vector<DeviceProfile> CameraProfiles(const HostOptions& options, const DeviceProfile& profile) {
    if (options.cameras.empty())
        return {profile};
    std::vector<DeviceProfile> profiles;
    for (const CameraAddress& camera : options.cameras) {
        DeviceProfile& device = profiles.emplace_back(profile);
        device.address = camera.host;
        if (camera.port != 0)
            device.port = camera.port;
    }
    return profiles;
}

std::vector<RecordedStream> PrepareStreams(const HostOptions& options, uint32_t defaultCodec,
                                           const std::string& cameraPrefix, StreamEventLog* events,
                                           const std::string& address, PrivacyZoneList* privacyZones) {
    std::vector<RecordedStream> streams;
    for (StreamRequest request : options.streams) {
        if (request.codecType == kDeviceDefaultCodec)
            request.codecType = defaultCodec;
        std::string name(StreamName(request.streamIndex));
        std::string fileName = cameraPrefix.empty() ? name : cameraPrefix + "-" + name;
        std::string path = options.discard
                               ? std::string()
                               : (std::filesystem::path(options.outDirectory) / (fileName + ".mkv")).string();
        auto recorder = std::make_unique<StreamRecorder>(cameraPrefix.empty() ? name : cameraPrefix + "/" + name,
                                                         path);
        if (events)
            recorder->ReportEventsTo(*events, address, name);
        if (request.motion)
            recorder->TrackMotion();
        if (request.edgeStorage)
            recorder->FillEdgeIntervals(
                (std::filesystem::path(options.outDirectory) / (fileName + "-edge-")).string());
        streams.push_back(
            {request, std::make_unique<VideoChannelSettings>(request, privacyZones), std::move(recorder)});
    }
    return streams;
}

// A stream with motion detection or edge storage starts with its channel
// (the channel the driver watches for both), every other one on its own.
bool StartsChannel(const StreamRequest& request) {
    return request.motion || request.edgeStorage;
}

bool StartOneStream(talvex::ipcapture::IIPVideoCaptureEx2& capture, RecordedStream& stream) {
    if (StartsChannel(stream.request))
        return capture.StartChannel(kRecordedChannel, stream.recorder.get(), stream.settings.get());
    return capture.StartStream(kRecordedChannel, stream.request.streamIndex, stream.recorder.get(),
                               stream.settings.get());
}

// The number of streams the driver started; each one it refused is named on
// stderr. Starting a channel stops all of its streams first, so the stream
// that starts its channel goes first.
size_t StartStreams(talvex::ipcapture::IIPVideoCaptureEx2& capture, std::vector<RecordedStream>& streams) {
    size_t started = 0;
    for (bool withChannel : {true, false}) {
        for (RecordedStream& stream : streams) {
            if (StartsChannel(stream.request) != withChannel)
                continue;
            stream.started = StartOneStream(capture, stream);
            if (stream.started)
                ++started;
            else
                std::fprintf(stderr, "fennwick-host: the driver did not start stream %s\n",
                             stream.recorder->Report().name.c_str());
        }
    }
    return started;
}

// Opens the camera's driver object and starts its streams: the number started,
// or the error text when the camera cannot record at all.
std::optional<std::string> OpenCamera(HostSetup& setup, FrameAllocator& allocator, RecordedCamera& camera,
                                      bool edgeStorage, size_t& started) {
    camera.driver = std::make_unique<DriverObject>(*setup.library, setup.library->Create());
    if (!*camera.driver)
        return std::string("the driver library could not make a driver object");
    auto& driver = *camera.driver;
    // Every camera logs through the one debug sink; the driver names the device in its lines.
    if (!driver->Open(&setup.sink, &allocator, camera.settings.get()))
        return "the driver could not open " + std::string(camera.settings->GetDeviceName()) + " (see its log above)";
    camera.capture = driver->GetVideoCaptureEx2();
    if (!camera.capture)
        return "the driver offers no video capture for " + std::string(camera.settings->GetDeviceName());
    if (edgeStorage && !camera.capture->SetProperty(kEdgeStorageProperty, &kEdgeStorageOn, kEdgeStoragePropertyType))
        return "the driver refused to switch edge storage on for " + std::string(camera.settings->GetDeviceName());
    started = StartStreams(*camera.capture, camera.streams);
    if (!camera.audio)
        return std::nullopt;
    camera.audioCapture = driver->GetAudioCapture();
    if (!camera.audioCapture)
        return "the driver offers no audio input for " + std::string(camera.settings->GetDeviceName());
    camera.audioStarted = camera.audioCapture->StartChannel(kRecordedAudioChannel, kRecordedAudioChannel,
                                                            camera.audio.get(), nullptr);
    if (!camera.audioStarted)
        return "the driver did not start the audio input of " + std::string(camera.settings->GetDeviceName());
    return std::nullopt;
}

// One status line per recorded stream:
//   rec: streaming, frames 250, 25.00 frames/s, 1534.2 kbit/s, signal losses 0, 6 s left
std::vector<std::string> StatusLines(const std::vector<RecordedCamera>& cameras, uint32_t secondsLeft) {
    std::vector<std::string> lines;
    for (const RecordedCamera& camera : cameras)
        for (const RecordedStream& stream : camera.streams) {
            if (!stream.started)
                continue;
            const StreamReport report = stream.recorder->Report();
            const StreamStatistics& statistics = report.statistics;
            const char* state = statistics.Frames() > 0         ? "streaming"
                                : report.lastStartFailure.empty() ? "starting"
                                                                  : "cannot start";
            char figures[160];
            std::snprintf(figures, sizeof figures, "%s, frames %llu, %.2f frames/s, %.1f kbit/s, signal losses %llu",
                          state, static_cast<unsigned long long>(statistics.Frames()), statistics.FramesPerSecond(),
                          statistics.BitsPerSecond() / 1000,
                          static_cast<unsigned long long>(statistics.SignalLosses()));
            std::string line = report.name + ": " + figures;
            if (secondsLeft)
                line += ", " + std::to_string(secondsLeft) + " s left";
            lines.push_back(std::move(line));
        }
    return lines;
}

// Stops the started streams, then finishes every file and prints the summaries.
int FinishRecording(RecordedCamera& camera) {
    if (camera.audioStarted)
        camera.audioCapture->StopChannel(kRecordedAudioChannel);
    for (RecordedStream& stream : camera.streams) {
        if (!camera.capture || !stream.started)
            continue;
        if (StartsChannel(stream.request))
            camera.capture->StopChannel(kRecordedChannel);
        else
            camera.capture->StopStream(kRecordedChannel, stream.request.streamIndex);
    }
    int status = kExitSuccess;
    for (RecordedStream& stream : camera.streams) {
        stream.recorder->Finish();
        StreamReport report = stream.recorder->Report();
        std::fputs(FormatStreamSummary(report).c_str(), stdout);
        bool nothingWritten = !report.path.empty() && report.framesWritten == 0;
        const bool fillFailed = std::any_of(report.edgeFills.begin(), report.edgeFills.end(),
                                            [](const EdgeFillReport& fill) { return !fill.error.empty(); });
        if (!report.error.empty() || report.statistics.Frames() == 0 || nothingWritten || fillFailed)
            status = kExitFailure;
    }
    if (camera.audio) {
        const AudioReport audio = camera.audio->Report();
        std::fputs(FormatAudioSummary(audio, camera.streams.front().recorder->Report().path).c_str(), stdout);
        if (audio.frames == 0)
            status = kExitFailure;
    }
    std::fflush(stdout);
    if (camera.driver && *camera.driver)
        (*camera.driver)->Close();
    return status;
}

// Finishes every camera; failure when any of them failed.
int FinishRecordings(std::vector<RecordedCamera>& cameras) {
    int status = kExitSuccess;
    for (RecordedCamera& camera : cameras)
        if (FinishRecording(camera) != kExitSuccess)
            status = kExitFailure;
    return status;
}

// Hands the --set changes to the driver in order; the error text for the first one that cannot be.
std::optional<std::string> ApplyOutputChanges(talvex::ipcapture::ICaptureIOApi& io,
                                              const std::vector<OutputChange>& changes, IoEventPrinter& printer) {
    const uint32_t outputs = io.GetOutputCount();
    for (const OutputChange& change : changes) {
        const std::string name = "output " + std::to_string(change.output);
        if (change.output > outputs)
            return name + ": the device has " + std::to_string(outputs) + " output(s) (profile key outputs= or --outputs)";
        const uint32_t state = change.on ? kIoStateOn : kIoStateOff;
        if (!io.SetOutput(change.output - 1, state))
            return "the driver refused to switch " + name;
        printer.PrintOutput(change.output - 1, state);
    }
    return std::nullopt;
}

// The I/O session of an open driver: callback, start, changes, watch, stop.
int WatchDigitalIO(DriverObject& driver, const HostOptions& options,
                   const sigset_t& stopSignals, const std::string& device) {
    talvex::ipcapture::ICaptureIOApi* io = driver->GetDigitalIO();
    if (!io)
        return Fail("the driver offers no digital inputs and outputs for " + device);
    StreamEventLog lines;
    lines.Attach(stdout);
    IoEventPrinter printer(lines);
    if (!io->SetCallback(&printer))
        return Fail("the driver refused the I/O callback");
    io->StartIO();
    std::optional<std::string> error = ApplyOutputChanges(*io, options.outputChanges, printer);
    if (!error)
        WaitForStop(stopSignals, options.watchSeconds);
    io->StopIO();
    if (!error && printer.Failures() > 0)
        error = "the driver reported " + std::to_string(printer.Failures()) + " I/O failure(s) (see its log above)";
    return error ? Fail(*error) : kExitSuccess;
}

// The actions on the PTZ object of the one video channel the host steers.
int SteerPtz(DriverObject& driver, const HostOptions& options, const std::string& device) {
    talvex::ipcapture::IIPPTZDriverEx* handler = driver->GetPTZDriverEx();
    talvex::ipcapture::IIPPTZApi* ptz = handler ? handler->GetPTZApi(kRecordedChannel) : nullptr;
    if (!ptz)
        return Fail("the driver offers no PTZ control for " + device);
    const size_t failed = PtzSession(*ptz, stdout).Run(options.ptzActions);
    if (failed > 0)
        return Fail(std::to_string(failed) + " of " + std::to_string(options.ptzActions.size()) +
                    " ptz action(s) failed (see their result codes above)");
    return kExitSuccess;
}

// Opens the one device of the options (with the host's frame allocator when
// given), runs use on it and closes it again.
int WithOpenDevice(const HostOptions& options, const std::function<int(DriverObject&, const DeviceSettings&)>& use,
                   FrameAllocator* allocator = nullptr) {
    HostSetup setup;
    if (auto error = PrepareHost(options, setup))
        return Fail(*error);
    DeviceSettings settings(std::move(setup.profile));
    DriverObject driver(*setup.library, setup.library->Create());
    if (!driver)
        return Fail("the driver library could not make a driver object");
    if (!driver->Open(&setup.sink, allocator, &settings))
        return Fail("the driver could not open " + std::string(settings.GetDeviceName()) + " (see its log above)");
    const int status = use(driver, settings);
    driver->Close();
    return status;
}

// Runs one query on the library's module, as a configuration tool does; the
// error text when the driver would not start it.
std::optional<std::string> RunCapabilityQuery(const CapabilityQueryExports& query, const DeviceProfile& device,
                                              QueryFindings& findings, QueryOutcome& outcome,
                                              const sigset_t& stopSignals) {
    if (!query.init(&outcome, false))
        return std::string("the driver library already holds a capability query module");
    std::optional<std::string> error;
    if (query.start(device.address.c_str(), device.port, device.user.c_str(), device.password.c_str(), &findings))
        outcome.Wait(stopSignals, [&query] { query.terminate(); });
    else
        error = "the driver did not start the capability query";
    // Waits for the fetch thread, which may still be returning from its callback.
    query.uninit();
    return error;
}

} // namespace

int RunQueryCommand(const HostOptions& options) {
    sigset_t stopSignals = BlockStopSignals();
    HostSetup setup;
    if (auto error = ReadConnection(options, setup.profile))
        return Fail(*error);
    if (setup.profile.address.empty())
        return Fail("query needs the camera's address (--address HOST, or a profile with address=)");
    // One line per profile key: a line break would let a value write other keys.
    const DeviceProfile& device = setup.profile;
    if (!options.queryProfilePath.empty() &&
        (device.address + device.user + device.password).find_first_of("\r\n") != std::string::npos)
        return Fail("--out: a profile cannot keep an address, user or password with a line break");
    if (auto error = PrepareLibrary(options, setup))
        return Fail(*error);
    const CapabilityQueryExports* query = setup.library->CapabilityQuery();
    if (!query)
        return Fail("the driver library offers no capability query");
    QueryFindings findings;
    QueryOutcome outcome;
    if (auto error = RunCapabilityQuery(*query, setup.profile, findings, outcome, stopSignals))
        return Fail(*error);
    const QueryEnd end = outcome.Current();
    if (end.threadKilled)
        std::fprintf(stderr, "fennwick-host: the driver's query thread did not end in time\n");
    if (!end.succeeded)
        return Fail("the capability query failed with code " + std::to_string(end.code) + ": " + end.text);
    findings.Print(stdout);
    std::fflush(stdout);
    if (options.queryProfilePath.empty())
        return kExitSuccess;
    if (auto error = SaveProfileFile(options.queryProfilePath, findings.ProfileText(setup.profile)))
        return Fail(*error);
    std::fprintf(stderr, "fennwick-host: profile written to %s\n", options.queryProfilePath.c_str());
    return kExitSuccess;
}

int RunIoCommand(const HostOptions& options) {
    sigset_t stopSignals = BlockStopSignals();
    return WithOpenDevice(options, [&](DriverObject& driver, const DeviceSettings& settings) {
        return WatchDigitalIO(driver, options, stopSignals, settings.GetDeviceName());
    });
}

int RunPtzCommand(const HostOptions& options) {
    return WithOpenDevice(options, [&](DriverObject& driver, const DeviceSettings& settings) {
        return SteerPtz(driver, options, settings.GetDeviceName());
    });
}

int RunSpeakCommand(const HostOptions& options) {
    sigset_t stopSignals = BlockStopSignals();
    // The driver hands every sent frame back to the allocator it was opened with.
    FrameAllocator allocator;
    return WithOpenDevice(
        options,
        [&](DriverObject& driver, const DeviceSettings& settings) {
            std::string error;
            const auto samples = DecodeAudioFile(options.speakFile, options.seconds, error);
            if (!samples)
                return Fail(error);
            talvex::ipcapture::IIPAudioSender* sender = driver->GetAudioSender();
            if (!sender)
                return Fail("the driver offers no audio output for " + std::string(settings.GetDeviceName()));
            const SpeakResult result = SpeakSession(*sender, allocator, stopSignals)
                                           .Run(*samples, AudioCodecOfSpeakCodec(options.speakCodec));
            std::fputs(FormatSpeakResult(result).c_str(), stdout);
            std::fflush(stdout);
            return result.error.empty() ? kExitSuccess : Fail(result.error);
        },
        &allocator);
}

int RunOpenCommand(const HostOptions& options) {
    return WithOpenDevice(options, [](DriverObject&, const DeviceSettings&) { return kExitSuccess; });
}

int RunRecordCommand(const HostOptions& options) {
    sigset_t stopSignals = BlockStopSignals();
    HostSetup setup;
    if (auto error = PrepareHost(options, setup))
        return Fail(*error);
    if (!options.privacyZones.empty())
        if (auto error = CheckPrivacyProperties(setup.profile))
            return Fail(*error);
    std::error_code directoryError;
    if (!options.discard && !std::filesystem::create_directories(options.outDirectory, directoryError) &&
        directoryError)
        return Fail("cannot make " + options.outDirectory + ": " + directoryError.message());
    StreamEventLog events;
    if (!options.eventsPath.empty())
        if (auto error = events.Open(options.eventsPath))
            return Fail(*error);

    // Frames, sinks, zones and the event log outlive the driver objects: their threads use them until deleted.
    FrameAllocator allocator;
    PrivacyZoneList privacyZones(options.privacyZones);
    std::vector<RecordedCamera> cameras;
    for (DeviceProfile& profile : CameraProfiles(options, setup.profile)) {
        RecordedCamera& camera = cameras.emplace_back();
        camera.label = options.cameras.empty() ? std::string() : profile.address;
        camera.streams = PrepareStreams(options, profile.codecType, camera.label,
                                        options.eventsPath.empty() ? nullptr : &events, profile.address,
                                        options.privacyZones.empty() ? nullptr : &privacyZones);
        if (options.audio) {
            StreamRecorder& file = *camera.streams.front().recorder;
            if (!options.discard)
                file.ExpectAudio();
            camera.audio = std::make_unique<AudioRecorder>(options.discard ? nullptr : &file);
        }
        for (RecordedStream& stream : camera.streams)
            setup.sink.WatchStartFailures(DriverStreamTitle(stream.request.streamIndex, profile), *stream.recorder);
        camera.settings = std::make_unique<DeviceSettings>(std::move(profile));
    }
    size_t started = 0;
    bool everyCameraOpened = true;
    for (RecordedCamera& camera : cameras) {
        size_t cameraStarted = 0;
        if (auto error = OpenCamera(setup, allocator, camera, options.edgeStorage, cameraStarted)) {
            std::fprintf(stderr, "fennwick-host: %s\n", error->c_str());
            everyCameraOpened = false;
        }
        started += cameraStarted;
    }
    if (started == 0) {
        FinishRecordings(cameras);
        return Fail("no stream started");
    }
    std::string what = cameras.size() == 1 ? std::string(cameras.front().settings->GetDeviceName())
                                           : std::to_string(cameras.size()) + " cameras";
    std::fprintf(stderr, "fennwick-host: recording %zu stream(s) of %s%s; Ctrl-C stops\n", started, what.c_str(),
                 options.seconds ? (" for " + std::to_string(options.seconds) + " s").c_str() : "");
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const bool showProgress = options.progress == ProgressDisplay::On ||
                              (options.progress == ProgressDisplay::OnTerminal && terminal);
    WaitForStop(stopSignals, options.seconds, [&](uint32_t secondsLeft) {
        for (RecordedCamera& camera : cameras)
            for (RecordedStream& stream : camera.streams)
                stream.recorder->Tick();
        if (showProgress)
            setup.sink.ShowStatus(StatusLines(cameras, secondsLeft), terminal);
    });
    if (showProgress)
        setup.sink.ShowStatus({}, terminal);
    int status = FinishRecordings(cameras);
    return everyCameraOpened ? status : kExitFailure;
}

} // namespace fennwick_host

// fennwick-camsim: a simulated Sony network camera for tests and demos.
//
// Usage:
//   fennwick-camsim --model SNC-CH210 --http-port 8080 --user admin --password admin --auth digest
//
//   --model NAME          model to play (--list-models shows the catalogue)
//   --http-port N         web server port on the bind address; 0 picks a free port
//   --bind ADDRESS        IPv4 address to listen on (default 127.0.0.1)
//   --user U --password P credentials the camera accepts (default admin/admin)
//   --auth none|basic|digest
//   --https-port N        also serve HTTPS (self-signed certificate made at start); 0 picks a port
//   --inputs N --outputs N alarm inputs and outputs (0 to 16; default: the model's, see Catalogue.cpp)
//   --clock-offset SECONDS the camera's clock minus real UTC at start (may be negative; see ClockCgi.h)
//   --help, -h            print this usage and exit
//   Faults:
//   --fault-401           answer every request with 401 and a challenge
//   --fault-status N      answer every request with status N
//   --fault-delay MS      wait MS milliseconds before each answer
//   --fault-close         close every connection without an answer
//   --fault-truncate      announce the whole body, send half of it, close
//   --fault-refuse-http   close plain HTTP connections on the web port (TLS there is served)
//   --fault-inquiry-500 G inquiries naming group G (such as sensor) answer 500
//   --fault-alarm-cut     every alarm-data stream ends in the middle of its second record
//   --fault-ptz-hang MS   ptzf.cgi and presetposition.cgi requests wait MS milliseconds before the answer
//   --fault-preset-names  inq=presetposition answers a malformed preset list (an empty name, a dangling number)
//   --fault-capability TARGET=VALUE
//                         answer the capability query for TARGET (FrameRate1, ...) with VALUE
//   --media-fault-stop, --media-fault-lose N, --media-fault-drop-after MS
//                         faults of the web server's video (see HttpMedia.h)
//   --outage-at S --outage-for S
//                         S seconds after READY the camera goes silent for S seconds (as the
//                         test hook outage=SECONDS does: see OutageFault.h); it keeps recording
//   --audio-out-file PATH append every audio byte uploaded to /audio-out/<codec>.cgi to PATH
//   --audio-fault-cut-after MS   every GET /audio answer running MS after start ends mid-unit
//   --audio-fault-upload-close N close each audio upload's connection, unanswered, after N body bytes
//   --rtsp-port N         also serve RTSP on the bind address; 0 picks a free port
//   --rtsp-codec1..3 C, --rtsp-fault-stop, --rtsp-fault-401, --rtsp-fault-454, --rtsp-fault-lose N,
//   --rtsp-fault-reorder, --rtsp-fault-drop-after MS, --rtsp-fault-bye-after MS,
//   --rtsp-fault-status METHOD:CODE, --rtsp-fault-other-codec, --rtsp-fault-no-audio
//                         RTSP streams and their faults (see rtsp/RtspServer.h)
//
// Once listening it prints one line "READY http=PORT" (with " rtsp=PORT" when
// RTSP is on and " https=PORT" when HTTPS is on) and runs until SIGINT or SIGTERM.
// Audio: GET /audio streams the microphone (see HttpAudio.h), RTSP sessions
// carry it as their second track (see rtsp/AudioClips.h), POST
// /audio-out/<codec>.cgi plays to the loudspeaker (see AudioUpload.h).
// Inquiries: GET /command/inquiry.cgi?inq=system&inq=camera answers the groups'
// Key=Value items joined by '&'; GET /command/camera.cgi?Key=Value (or
// system.cgi) changes what later inquiries report. Alarm I/O and the
// alarm-data stream: see AlarmIo.h; PTZ and presets: see PtzCgi.h; privacy masks: see
// PrivacyMasks.h; stream capabilities: see CapabilityVideo.h; recordings, their search
// and replay: see rtsp/RtspServer.h and rtsp/RecordingSearch.h; test hooks /camsim/state and
// /camsim/control: see TestHooks.h, AlarmState.h, PtzState.h and OutageFault.h.
#include "AlarmKeys.h"
#include "AudioUpload.h"
#include "Camera.h"
#include "HttpAudio.h"
#include "HttpMedia.h"
#include "RtspServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* AUDIO_USAGE =
    "  --audio-out-file PATH append every uploaded audio byte (POST /audio-out/<codec>.cgi) to PATH\n"
    "  --audio-fault-cut-after MS   every GET /audio answer running MS after start ends in the middle of a unit\n"
    "  --audio-fault-upload-close N close each audio upload's connection, unanswered, after N body bytes\n";

// The audio flags of the command line.
struct AudioCommandLine {
    std::string outFile;
    std::optional<uint32_t> cutAfterMs;
    uint64_t closeUploadAfter = 0;
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: fennwick-camsim --model NAME [--http-port N] [--user U] [--password P] "
                      "[--auth none|basic|digest] [--bind ADDRESS] [--https-port N] [--fault-401] "
                      "[--fault-status N] [--fault-delay MS] [--fault-close] [--fault-truncate] "
                      "[--fault-refuse-http] [--fault-inquiry-500 GROUP] [--fault-alarm-cut] "
                      "[--fault-ptz-hang MS] [--fault-preset-names] "
                      "[--fault-capability TARGET=VALUE] [--inputs N] [--outputs N] [--clock-offset SECONDS] "
                      "[--outage-at S --outage-for S] [--list-models] [--help]\n%s%s%s",
                 camsim::HTTP_MEDIA_USAGE, AUDIO_USAGE, camsim::RTSP_USAGE);
}

// A usage error: what was wrong in one line, then the usage.
int Usage(const char* message) {
    std::fprintf(stderr, "fennwick-camsim: %s\n", message);
    PrintUsage(stderr);
    return 2;
}

std::optional<uint32_t> ParseNumber(const char* text, uint32_t max) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (!*text || *end || errno != 0 || value > max)
        return std::nullopt;
    return uint32_t(value);
}

void ListModels() {
    for (const camsim::ModelSpec& model : camsim::Catalogue())
        std::printf("%s generation %u\n", model.name.c_str(), model.generation);
}

// --outage-at and --outage-for, in seconds after READY.
struct OutageSchedule {
    std::optional<uint32_t> at;
    std::optional<uint32_t> length;
};

// Parses argv into options; returns an error text, empty on success.
std::string ParseArguments(int argc, char** argv, camsim::CameraOptions& options,
                           camsim::HttpMediaCommandLine& media, camsim::RtspCommandLine& rtsp, AudioCommandLine& audio,
                           bool& listModels, OutageSchedule& outage, bool& help) {
    for (int i = 1; i < argc; ++i) {
        std::string mediaError;
        int taken = camsim::ParseHttpMediaArgument(argc, argv, i, media, mediaError);
        if (taken == 0)
            taken = camsim::ParseRtspArgument(argc, argv, i, rtsp, mediaError);
        if (taken != 0) {
            if (taken < 0)
                return mediaError;
            i += taken - 1;
            continue;
        }
        const std::string_view flag = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needValue = [&]() -> const char* {
            if (value)
                ++i;
            return value;
        };
        if (flag == "--help" || flag == "-h") {
            help = true;
        } else if (flag == "--list-models") {
            listModels = true;
        } else if (flag == "--fault-401") {
            options.faults.always401 = true;
        } else if (flag == "--fault-close") {
            options.faults.closeWithoutAnswer = true;
        } else if (flag == "--fault-truncate") {
            options.faults.truncateBody = true;
        } else if (flag == "--fault-refuse-http") {
            options.faults.refusePlainHttp = true;
        } else if (flag == "--fault-alarm-cut") {
            options.cutAlarmStream = true;
        } else if (flag == "--fault-preset-names") {
            options.ptzFaults.malformedPresetNames = true;
        } else if (!needValue()) {
            return "missing or unknown option " + std::string(flag);
        } else if (flag == "--fault-capability") {
            const std::string_view fault = value;
            const size_t equals = fault.find('=');
            if (equals == std::string_view::npos || equals == 0)
                return "--fault-capability takes TARGET=VALUE, not \"" + std::string(fault) + "\"";
            options.capabilityValues[std::string(fault.substr(0, equals))] = std::string(fault.substr(equals + 1));
        } else if (flag == "--audio-out-file") {
            audio.outFile = value;
        } else if (flag == "--audio-fault-cut-after" || flag == "--audio-fault-upload-close") {
            const auto number = ParseNumber(value, 86400000);
            if (!number)
                return std::string(flag) + " takes a number, not \"" + value + "\"";
            if (flag == "--audio-fault-cut-after")
                audio.cutAfterMs = *number;
            else
                audio.closeUploadAfter = *number;
        } else if (flag == "--model") {
            options.model = value;
        } else if (flag == "--user") {
            options.user = value;
        } else if (flag == "--password") {
            options.password = value;
        } else if (flag == "--bind") {
            options.http.bindAddress = value;
        } else if (flag == "--fault-inquiry-500") {
            options.faults.failInquiry = value;
        } else if (flag == "--outage-at" || flag == "--outage-for") {
            const auto seconds = ParseNumber(value, camsim::OutageFault::MAX_OUTAGE_SECONDS);
            if (!seconds)
                return std::string(flag) + " takes seconds, not \"" + value + "\"";
            (flag == "--outage-at" ? outage.at : outage.length) = *seconds;
        } else if (flag == "--inputs" || flag == "--outputs") {
            const auto count = ParseNumber(value, flag == "--inputs" ? camsim::kMaxAlarmInputs : camsim::kMaxAlarmOutputs);
            if (!count)
                return std::string(flag) + " takes a number from 0 to 16";
            (flag == "--inputs" ? options.inputs : options.outputs) = *count;
        } else if (flag == "--clock-offset") {
            const auto seconds = camsim::ClockCgi::ParseOffsetSeconds(value);
            if (!seconds)
                return "--clock-offset takes whole seconds, not \"" + std::string(value) + "\"";
            options.clockOffsetMs = *seconds * 1000;
        } else if (flag == "--auth") {
            const auto auth = camsim::ParseAuthMode(value);
            if (!auth)
                return "--auth takes none, basic or digest, not \"" + std::string(value) + "\"";
            options.auth = *auth;
        } else if (flag == "--http-port" || flag == "--https-port") {
            const auto port = ParseNumber(value, 65535);
            if (!port)
                return std::string(flag) + " takes a port number, not \"" + value + "\"";
            if (flag == "--http-port") {
                options.http.port = uint16_t(*port);
            } else {
                options.http.https = true;
                options.http.httpsPort = uint16_t(*port);
            }
        } else if (flag == "--fault-status" || flag == "--fault-delay" || flag == "--fault-ptz-hang") {
            const auto number = ParseNumber(value, flag == "--fault-status" ? 999 : 3600000);
            if (!number)
                return std::string(flag) + " takes a number, not \"" + value + "\"";
            uint32_t& target = flag == "--fault-status"  ? options.faults.status
                               : flag == "--fault-delay" ? options.faults.delayMs
                                                         : options.ptzFaults.hangMs;
            target = *number;
        } else {
            return "unknown option " + std::string(flag);
        }
    }
    if (outage.at.has_value() != outage.length.has_value())
        return "--outage-at and --outage-for go together";
    return {};
}

} // namespace

int main(int argc, char** argv) {
    camsim::CameraOptions options;
    camsim::HttpMediaCommandLine media;
    camsim::RtspCommandLine rtsp;
    AudioCommandLine audio;
    bool listModels = false;
    bool help = false;
    OutageSchedule outage;
    const std::string error = ParseArguments(argc, argv, options, media, rtsp, audio, listModels, outage, help);
    if (help) {
        PrintUsage(stdout);
        return 0;
    }
    if (!error.empty())
        return Usage(error.c_str());
    if (listModels) {
        ListModels();
        return 0;
    }

    // Signals are taken by sigwait below, never by a handler in a server thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    camsim::Camera camera(options);
    auto httpMedia = std::make_unique<camsim::HttpMedia>(camera);
    camsim::HttpMedia& mediaServer = *httpMedia;
    camera.AddServer(std::move(httpMedia));
    auto httpAudio = std::make_unique<camsim::HttpAudio>(camera);
    camsim::HttpAudio& audioServer = *httpAudio;
    camera.AddServer(std::move(httpAudio));
    auto upload = std::make_unique<camsim::AudioUpload>(camera, audio.outFile);
    upload->Faults().closeAfterBytes = audio.closeUploadAfter;
    camera.AddServer(std::move(upload));
    camsim::RtspServer* rtspServer = nullptr;
    if (rtsp.enabled) {
        rtsp.options.bindAddress = options.http.bindAddress;
        auto server = std::make_unique<camsim::RtspServer>(rtsp.options, &camera);
        rtspServer = server.get();
        camera.AddServer(std::move(server));
    }
    std::string startError;
    if (!camera.Start(startError)) {
        std::fprintf(stderr, "fennwick-camsim: %s\n", startError.c_str());
        return 1;
    }
    camsim::ApplyHttpMediaFaults(mediaServer, media);
    if (audio.cutAfterMs)
        audioServer.CutStreams(*audio.cutAfterMs);
    std::string ready = "READY http=" + std::to_string(camera.Http().Port());
    if (rtspServer) {
        camsim::ApplyRtspFaults(*rtspServer, rtsp);
        ready += " rtsp=" + std::to_string(rtspServer->GetPort());
    }
    if (options.http.https)
        ready += " https=" + std::to_string(camera.Http().HttpsPort());
    if (outage.at)
        camera.Outage().Schedule(std::chrono::seconds(*outage.at), std::chrono::seconds(*outage.length));
    std::printf("%s\n", ready.c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    camera.Stop();
    return 0;
}

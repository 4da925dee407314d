#include "RtspServer.h"

#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

namespace camsim {

const char* const RTSP_USAGE =
    "  --rtsp-port N         also serve RTSP on this port (0 picks a free port)\n"
    "  --rtsp-codec1..3 C    codec of /video1../video3 when the camera state names none (h264, mpeg4, jpeg)\n"
    "  --rtsp-fault-stop     keep sessions but send no media\n"
    "  --rtsp-fault-401      challenge every RTSP request\n"
    "  --rtsp-fault-454      answer every request naming a session with 454\n"
    "  --rtsp-fault-lose N   lose every Nth RTP packet\n"
    "  --rtsp-fault-reorder  swap each pair of RTP packets of a frame\n"
    "  --rtsp-fault-drop-after MS   close every RTSP connection MS after start\n"
    "  --rtsp-fault-bye-after MS    send RTCP BYE on every session MS after start\n"
    "  --rtsp-fault-status M:CODE   answer every DESCRIBE, SETUP or PLAY (M) with status CODE\n"
    "  --rtsp-fault-other-codec     stream another codec than the camera's setting\n"
    "  --rtsp-fault-no-audio        descriptions without the audio track; its SETUP answers 404\n"
    "  --rtsp-quirk-content-base    Content-Base without the rtsp:// scheme\n"
    "  --rtsp-quirk-bare-sdp        description without o= line and session-level a=control\n"
    "  --rtsp-quirk-seq-restart N   RTP sequence numbers start again at 0 every N video frames\n"
    "  --rtsp-quirk-sei-marker      H.264: a marked SEI packet before each picture's slices\n"
    "  --rtsp-quirk-digest-and-basic  401 with a Digest and a Basic WWW-Authenticate header\n"
    "  --rtsp-quirk-digest-qop      Digest challenge with qop=\"auth\"; answers must use it\n"
    "  --rtsp-quirk-credentials-in-base  Content-Base names the user and password\n"
    "  --rtsp-quirk-key-frame-bytes N  H.264 key frames grown to at least N bytes\n";

namespace {

std::optional<uint32_t> ReadNumber(const char* text, uint32_t limit) {
    if (!text || !*text)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0' || value > limit)
        return std::nullopt;
    return uint32_t(value);
}

// "--rtsp-fault-status METHOD:CODE"; false for a value of another form.
bool ParseStatusFault(const char* value, RtspCommandLine& commandLine) {
    const std::string_view text = value ? value : "";
    const size_t colon = text.find(':');
    const std::optional<uint32_t> code =
        colon == std::string_view::npos ? std::nullopt : ReadNumber(value + colon + 1, 999);
    if (!code || *code < 100)
        return false;
    const std::string_view method = text.substr(0, colon);
    uint32_t* target = method == "DESCRIBE" ? &commandLine.describeStatus
                       : method == "SETUP"  ? &commandLine.setupStatus
                       : method == "PLAY"   ? &commandLine.playStatus
                                            : nullptr;
    if (target)
        *target = *code;
    return target != nullptr;
}

// The "--rtsp-quirk-..." flags; 0 for any other flag.
int ParseQuirkArgument(std::string_view flag, const char* value, RtspQuirks& quirks, std::string& error) {
    if (!flag.starts_with("--rtsp-quirk-"))
        return 0;
    const std::pair<std::string_view, bool*> switches[] = {
        {"--rtsp-quirk-content-base", &quirks.contentBaseWithoutScheme},
        {"--rtsp-quirk-bare-sdp", &quirks.bareDescription},
        {"--rtsp-quirk-sei-marker", &quirks.seiWithMarker},
        {"--rtsp-quirk-digest-and-basic", &quirks.digestAndBasic},
        {"--rtsp-quirk-digest-qop", &quirks.digestQop},
        {"--rtsp-quirk-credentials-in-base", &quirks.credentialsInContentBase},
    };
    for (const auto& [name, target] : switches)
        if (flag == name) {
            *target = true;
            return 1;
        }
    const std::pair<std::string_view, uint32_t*> numbers[] = {
        {"--rtsp-quirk-seq-restart", &quirks.restartSequenceEvery},
        {"--rtsp-quirk-key-frame-bytes", &quirks.keyFrameBytes},
    };
    constexpr uint32_t NUMBER_LIMIT = 64u << 20;
    for (const auto& [name, target] : numbers)
        if (flag == name) {
            const std::optional<uint32_t> number = ReadNumber(value, NUMBER_LIMIT);
            if (!number) {
                error = std::string(flag) + " takes a number up to " + std::to_string(NUMBER_LIMIT);
                return -1;
            }
            *target = *number;
            return 2;
        }
    error = "unknown flag " + std::string(flag);
    return -1;
}

} // namespace

int ParseRtspArgument(int argc, char** argv, int index, RtspCommandLine& commandLine, std::string& error) {
    const std::string_view flag = argv[index];
    const char* value = index + 1 < argc ? argv[index + 1] : nullptr;
    if (!flag.starts_with("--rtsp-"))
        return 0;
    if (flag == "--rtsp-fault-stop" || flag == "--rtsp-fault-401" || flag == "--rtsp-fault-454" ||
        flag == "--rtsp-fault-reorder") {
        (flag == "--rtsp-fault-stop"  ? commandLine.stopSending
         : flag == "--rtsp-fault-401" ? commandLine.answer401
         : flag == "--rtsp-fault-454" ? commandLine.answer454
                                      : commandLine.reorder) = true;
        return 1;
    }
    if (flag == "--rtsp-fault-other-codec" || flag == "--rtsp-fault-no-audio") {
        (flag == "--rtsp-fault-other-codec" ? commandLine.otherCodec : commandLine.noAudioTrack) = true;
        return 1;
    }
    if (flag == "--rtsp-fault-status") {
        if (ParseStatusFault(value, commandLine))
            return 2;
        error = "--rtsp-fault-status takes DESCRIBE, SETUP or PLAY, ':' and a status from 100 to 999, not \"" +
                std::string(value ? value : "") + "\"";
        return -1;
    }
    if (const int taken = ParseQuirkArgument(flag, value, commandLine.options.quirks, error))
        return taken;
    if (flag.starts_with("--rtsp-codec") && flag.size() == 13 && flag[12] >= '1' && flag[12] <= '3') {
        const auto codec = value ? ParseVideoCodec(value) : std::nullopt;
        if (!codec) {
            error = std::string(flag) + " takes h264, mpeg4 or jpeg";
            return -1;
        }
        commandLine.options.codecs[size_t(flag[12] - '1')] = *codec;
        return 2;
    }
    const uint32_t limit = flag == "--rtsp-port" ? 65535 : 86400000;
    const std::optional<uint32_t> number = ReadNumber(value, limit);
    if (flag == "--rtsp-port" || flag == "--rtsp-fault-lose" || flag == "--rtsp-fault-drop-after" ||
        flag == "--rtsp-fault-bye-after") {
        if (!number) {
            error = std::string(flag) + " takes a number up to " + std::to_string(limit);
            return -1;
        }
        if (flag == "--rtsp-port") {
            commandLine.options.port = uint16_t(*number);
            commandLine.enabled = true;
        } else {
            (flag == "--rtsp-fault-lose"         ? commandLine.loseEveryNth
             : flag == "--rtsp-fault-drop-after" ? commandLine.dropAfterMs
                                                 : commandLine.byeAfterMs) = *number;
        }
        return 2;
    }
    error = "unknown flag " + std::string(flag);
    return -1;
}

void ApplyRtspFaults(RtspServer& server, const RtspCommandLine& commandLine) {
    RtspFaults& faults = server.Faults();
    faults.stopSending = commandLine.stopSending;
    faults.answer401 = commandLine.answer401;
    faults.answer454 = commandLine.answer454;
    faults.reorder = commandLine.reorder;
    faults.loseEveryNth = commandLine.loseEveryNth;
    faults.describeStatus = commandLine.describeStatus;
    faults.setupStatus = commandLine.setupStatus;
    faults.playStatus = commandLine.playStatus;
    faults.otherCodec = commandLine.otherCodec;
    faults.noAudioTrack = commandLine.noAudioTrack;
    if (commandLine.dropAfterMs)
        server.DropConnections(commandLine.dropAfterMs);
    if (commandLine.byeAfterMs)
        server.SendBye(commandLine.byeAfterMs);
}

} // namespace camsim

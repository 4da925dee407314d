#include "RtspServer.h"

#include <cstdlib>
#include <optional>

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
    "  --rtsp-fault-bye-after MS    send RTCP BYE on every session MS after start\n";

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
    if (commandLine.dropAfterMs)
        server.DropConnections(commandLine.dropAfterMs);
    if (commandLine.byeAfterMs)
        server.SendBye(commandLine.byeAfterMs);
}

} // namespace camsim

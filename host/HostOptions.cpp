#include "HostOptions.h"

#include "DeviceProfile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace fennwick_host {
namespace {

constexpr std::array<std::string_view, 8> kDeviceKeys = {"address", "port",   "user",           "password",
                                                         "model",   "inputs", "video-channels", "outputs"};

bool IsDeviceKey(std::string_view key) {
    for (std::string_view known : kDeviceKeys)
        if (key == known)
            return true;
    return false;
}

std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t minimum, uint32_t maximum) {
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < minimum ||
        value > maximum)
        return std::nullopt;
    return value;
}

// "WxH", each 1 to 65535.
bool ParseSize(std::string_view text, StreamRequest& request) {
    size_t cross = text.find('x');
    if (cross == std::string_view::npos)
        return false;
    auto width = ParseNumber(text.substr(0, cross), 1, UINT16_MAX);
    auto height = ParseNumber(text.substr(cross + 1), 1, UINT16_MAX);
    if (!width || !height)
        return false;
    request.width = uint16_t(*width);
    request.height = uint16_t(*height);
    return true;
}

// "LEFT,TOP,WIDTH,HEIGHT", percentages of the picture: each from 0 to 100,
// the width and height above 0. A zone reaching past the picture's edge is
// the driver's to fit (the camera's masks end at the edge).
std::optional<ZoneRect> ParseZone(std::string_view text) {
    float values[4] = {};
    for (size_t index = 0; index < std::size(values); ++index) {
        const size_t comma = index + 1 < std::size(values) ? text.find(',') : text.size();
        if (comma == std::string_view::npos)
            return std::nullopt;
        const std::string_view number = text.substr(0, comma);
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), values[index],
                                            std::chars_format::fixed);
        if (number.empty() || error != std::errc() || end != number.data() + number.size() || !(values[index] >= 0) ||
            values[index] > 100)
            return std::nullopt;
        text.remove_prefix(std::min(comma + 1, text.size()));
    }
    const ZoneRect zone{values[0], values[1], values[2], values[3]};
    if (zone.width <= 0 || zone.height <= 0)
        return std::nullopt;
    return zone;
}

// Collects what the options of one command line say; the error text on the first bad one.
class OptionReader {
public:
    explicit OptionReader(HostOptions& options) : m_options(options) {}

    std::optional<std::string> Read(std::string_view key, const std::string& value);
    // Checks the options as a whole once every one was read.
    std::optional<std::string> Finish();
    bool TakesNoValue(std::string_view key) const {
        return key == "discard" || key == "motion" || key == "quiet" || key == "progress" || key == "edge-storage" ||
               key == "audio";
    }

private:
    bool IsRecord() const { return m_options.command == "record"; }
    bool IsIo() const { return m_options.command == "io"; }
    bool IsPtz() const { return m_options.command == "ptz"; }
    bool IsQuery() const { return m_options.command == "query"; }
    std::optional<std::string> AddPrivacyZone(const std::string& value);
    bool IsSpeak() const { return m_options.command == "speak"; }
    std::optional<std::string> ReadSeconds(const std::string& value);
    std::optional<std::string> ReadSpeakOption(std::string_view key, const std::string& value);
    std::optional<std::string> ReadIoOption(std::string_view key, const std::string& value);
    std::optional<std::string> FinishRecord();
    std::optional<std::string> ReadStreamOption(std::string_view key, const std::string& value);
    std::optional<std::string> AddStream(const std::string& value);
    std::optional<std::string> AddCamera(const std::string& value);
    // A number for the --stream options still to come.
    std::optional<std::string> ReadNextNumber(std::string_view key, const std::string& value, uint32_t minimum,
                                              uint32_t maximum, uint32_t& target);

    HostOptions& m_options;
    StreamRequest m_next;      // codec, size, rate and quality for the --stream options still to come
    bool m_nextIsSet = false;  // --codec, --size, --fps or --quality given after the last --stream
};

std::optional<std::string> OptionReader::Read(std::string_view key, const std::string& value) {
    if (key == "profile")
        m_options.profilePath = value;
    else if (key == "library")
        m_options.libraryPath = value;
    else if (key == "log")
        m_options.logPath = value;
    else if (key == "host-version")
        m_options.hostVersion = value;
    else if (key == "generation") {
        m_options.generation = ParseNumber(value, kLowestGeneration, kHighestGeneration);
        if (!m_options.generation)
            return "--generation wants a number from 1 to 7, not '" + value + "'";
    } else if (IsDeviceKey(key) || (key == "codec" && !IsRecord() && !IsSpeak()))
        m_options.deviceOptions.emplace_back(key, value);
    else if (IsSpeak())
        return ReadSpeakOption(key, value);
    else if (IsRecord())
        return ReadStreamOption(key, value);
    else if (IsIo())
        return ReadIoOption(key, value);
    else if (IsPtz() && key == "ptz")
        m_options.ptzCapabilities = value;
    else if (IsQuery() && key == "out") {
        if (value.empty())
            return std::string("--out wants a profile file");
        m_options.queryProfilePath = value;
    } else
        return "unknown option --" + std::string(key);
    return std::nullopt;
}

std::optional<std::string> OptionReader::ReadStreamOption(std::string_view key, const std::string& value) {
    if (key == "stream")
        return AddStream(value);
    if (key == "codec") {
        auto codec = ParseCodecName(value);
        if (!codec)
            return "--codec wants jpeg, mpeg4 or h264, not '" + value + "'";
        m_next.codecType = *codec;
        m_nextIsSet = true;
    } else if (key == "size") {
        if (!ParseSize(value, m_next))
            return "--size wants WIDTHxHEIGHT (each 1 to 65535), not '" + value + "'";
        m_nextIsSet = true;
    } else if (key == "fps") {
        return ReadNextNumber(key, value, kMinFramesPerSecond, kMaxFramesPerSecond, m_next.framesPerSecond);
    } else if (key == "quality") {
        return ReadNextNumber(key, value, kMinQuality, kMaxQuality, m_next.quality);
    } else if (key == "seconds") {
        return ReadSeconds(value);
    } else if (key == "out") {
        if (value.empty())
            return std::string("--out wants a directory");
        m_options.outDirectory = value;
    } else if (key == "discard") {
        m_options.discard = true;
    } else if (key == "motion") {
        m_options.motion = true;
    } else if (key == "edge-storage") {
        m_options.edgeStorage = true;
    } else if (key == "audio") {
        m_options.audio = true;
    } else if (key == "quiet" || key == "progress") {
        m_options.progress = key == "quiet" ? ProgressDisplay::Off : ProgressDisplay::On;
    } else if (key == "camera") {
        return AddCamera(value);
    } else if (key == "privacy") {
        return AddPrivacyZone(value);
    } else if (key == "events") {
        if (value.empty())
            return std::string("--events wants a file");
        m_options.eventsPath = value;
    } else {
        return "unknown option --" + std::string(key);
    }
    return std::nullopt;
}

std::optional<std::string> OptionReader::ReadSeconds(const std::string& value) {
    auto seconds = ParseNumber(value, 1, kMaxRecordSeconds);
    if (!seconds)
        return "--seconds wants a number from 1 to " + std::to_string(kMaxRecordSeconds) + ", not '" + value + "'";
    m_options.seconds = *seconds;
    return std::nullopt;
}

// --file FILE, --codec g711u|g711a|g726|aac, --seconds N
std::optional<std::string> OptionReader::ReadSpeakOption(std::string_view key, const std::string& value) {
    if (key == "seconds")
        return ReadSeconds(value);
    if (key == "file") {
        if (value.empty())
            return std::string("--file wants an audio file");
        m_options.speakFile = value;
        return std::nullopt;
    }
    if (key != "codec")
        return "unknown option --" + std::string(key);
    auto codec = ParseSpeakCodec(value);
    if (!codec)
        return "--codec wants g711u, g711a, g726 or aac, not '" + value + "'";
    m_options.speakCodec = *codec;
    return std::nullopt;
}

// --set K=on|off, --watch SECONDS
std::optional<std::string> OptionReader::ReadIoOption(std::string_view key, const std::string& value) {
    if (key == "watch") {
        auto seconds = ParseNumber(value, 1, kMaxRecordSeconds);
        if (!seconds)
            return "--watch wants a number from 1 to " + std::to_string(kMaxRecordSeconds) + ", not '" + value + "'";
        m_options.watchSeconds = *seconds;
        return std::nullopt;
    }
    if (key != "set")
        return "unknown option --" + std::string(key);
    std::string_view text = value;
    size_t equals = text.find('=');
    auto output = ParseNumber(text.substr(0, equals), 1, UINT16_MAX);
    std::string_view state = equals == std::string_view::npos ? std::string_view() : text.substr(equals + 1);
    if (!output || (state != "on" && state != "off"))
        return "--set wants OUTPUT=on|off (outputs from 1), not '" + value + "'";
    m_options.outputChanges.push_back({*output, state == "on"});
    return std::nullopt;
}

std::optional<std::string> OptionReader::ReadNextNumber(std::string_view key, const std::string& value,
                                                        uint32_t minimum, uint32_t maximum, uint32_t& target) {
    auto number = ParseNumber(value, minimum, maximum);
    if (!number)
        return "--" + std::string(key) + " wants a number from " + std::to_string(minimum) + " to " +
               std::to_string(maximum) + ", not '" + value + "'";
    target = *number;
    m_nextIsSet = true;
    return std::nullopt;
}

// HOST[:PORT]
std::optional<std::string> OptionReader::AddCamera(const std::string& value) {
    std::string_view text = value;
    size_t colon = text.find(':');
    CameraAddress camera{std::string(text.substr(0, colon))};
    if (colon != std::string_view::npos) {
        auto port = ParseNumber(text.substr(colon + 1), 1, UINT16_MAX);
        if (!port)
            return "--camera wants HOST[:PORT] (port 1 to 65535), not '" + value + "'";
        camera.port = uint16_t(*port);
    }
    if (camera.host.empty())
        return "--camera wants HOST[:PORT], not '" + value + "'";
    if (m_options.cameras.size() >= kMaxCameras)
        return "at most " + std::to_string(kMaxCameras) + " --camera options";
    m_options.cameras.push_back(std::move(camera));
    return std::nullopt;
}

std::optional<std::string> OptionReader::AddPrivacyZone(const std::string& value) {
    auto zone = ParseZone(value);
    if (!zone)
        return "--privacy wants LEFT,TOP,WIDTH,HEIGHT in percent of the picture (each 0 to 100, width and "
               "height above 0), not '" + value + "'";
    if (m_options.privacyZones.size() >= kMaxPrivacyZones)
        return "at most " + std::to_string(kMaxPrivacyZones) + " --privacy zones";
    m_options.privacyZones.push_back(*zone);
    return std::nullopt;
}

// NAME[:CODEC]
std::optional<std::string> OptionReader::AddStream(const std::string& value) {
    std::string_view text = value;
    size_t colon = text.find(':');
    StreamRequest request = m_next;
    auto index = StreamIndexOfName(text.substr(0, colon));
    if (!index)
        return "--stream wants rec, live or remote, optionally with :jpeg, :mpeg4 or :h264, not '" + value + "'";
    request.streamIndex = *index;
    if (colon != std::string_view::npos) {
        auto codec = ParseCodecName(text.substr(colon + 1));
        if (!codec)
            return "--stream " + value + ": the codec must be jpeg, mpeg4 or h264";
        request.codecType = *codec;
    }
    for (const StreamRequest& earlier : m_options.streams)
        if (earlier.streamIndex == request.streamIndex)
            return "--stream " + std::string(StreamName(request.streamIndex)) + " is given twice";
    m_options.streams.push_back(request);
    m_nextIsSet = false;
    return std::nullopt;
}

std::optional<std::string> OptionReader::Finish() {
    if (IsQuery())
        return std::nullopt;
    if (m_options.profilePath.empty() && !m_options.generation)
        return m_options.command + " needs --profile FILE or --generation N";
    if (IsPtz() && m_options.ptzActions.empty())
        return std::string("ptz needs at least one ACTION after its options");
    if (IsSpeak() && m_options.speakFile.empty())
        return std::string("speak needs --file FILE");
    return IsRecord() ? FinishRecord() : std::nullopt;
}

std::optional<std::string> OptionReader::FinishRecord() {
    if (m_options.streams.empty())
        m_options.streams.push_back(m_next);
    else if (m_nextIsSet)
        return std::string("--codec, --size, --fps and --quality apply to the --stream options after them; none follows");
    if (m_options.discard && !m_options.outDirectory.empty())
        return std::string("--discard writes no files: leave out --out");
    if (!m_options.discard && m_options.outDirectory.empty())
        return std::string("record needs --out DIR (or --discard)");
    if (!m_options.motion && !m_options.edgeStorage)
        return std::nullopt;
    for (StreamRequest& stream : m_options.streams)
        if (stream.streamIndex == kStreamRecording) {
            stream.motion = m_options.motion;
            stream.edgeStorage = m_options.edgeStorage;
            return std::nullopt;
        }
    return std::string(m_options.motion ? "--motion is detected" : "--edge-storage fills outages") +
           " with the recording stream: add --stream rec";
}

} // namespace

std::string HostUsage() {
    return "usage: fennwick-host open (--profile FILE | --generation N) [options]\n"
           "       fennwick-host record (--profile FILE | --generation N) (--out DIR | --discard)\n"
           "                            [--codec jpeg|mpeg4|h264] [--size WxH] [--fps F] [--quality Q]\n"
           "                            [--stream rec|live|remote[:CODEC]]...\n"
           "                            [--seconds N] [--camera HOST[:PORT]]... [--events FILE] [--motion]\n"
           "                            [--edge-storage] [--quiet | --progress] [--audio]\n"
           "                            [--privacy LEFT,TOP,WIDTH,HEIGHT]... [options]\n"
           "       fennwick-host io (--profile FILE | --generation N) [--set OUTPUT=on|off]... [--watch SECONDS]\n"
           "                        [options]\n"
           "       fennwick-host ptz (--profile FILE | --generation N) [--ptz CAPABILITIES] [options] ACTION...\n"
           "       fennwick-host query [--profile FILE] [--out PROFILE] [options]\n"
           "       fennwick-host speak (--profile FILE | --generation N) --file FILE [--codec g711u|g711a|g726|aac]\n"
           "                           [--seconds N] [options]\n"
           "       fennwick-host --help\n"
           "options: [--library PATH] [--log FILE] [--host-version A.B.C.D] [--address HOST] [--port N]\n"
           "         [--user NAME] [--password TEXT] [--model NAME] [--video-channels N] [--inputs N] [--outputs N]\n"
           "         open only: [--codec jpeg|mpeg4|h264] (the device's default codec)\n"
           "record shows a status line per stream once a second on a terminal; --quiet leaves it out,\n"
           "--progress shows it on a pipe too. --events appends stream events (signal-lost, resumed,\n"
           "start-failed, edge-filled) to FILE. --edge-storage has the driver fill outages of the\n"
           "recording stream from the camera's own storage: each filled interval goes to\n"
           "DIR/<stream>-edge-<first_frame_unix_ms>.mkv. --privacy masks a zone given in percent of the\n"
           "picture (repeat it for more zones, in order); it needs device properties 5 and 6 in the\n"
           "profile, which query writes. --audio also records the camera's audio input into the file of\n"
           "the first stream, as a second track in the codec the camera sends.\n"
           "query runs the driver's capability query against --address (--port, --user, --password),\n"
           "prints every device property and capability entry, and with --out writes a profile for open\n"
           "and record; it fails (exit 1) with the driver's failure code: 1 login failed, 2 unreachable.\n"
           "speak decodes FILE (any format FFmpeg reads), resamples it to 8 kHz mono, encodes it in the\n"
           "driver's output codec and sends it to the camera's loudspeaker at the real-time pace (--seconds:\n"
           "at most N seconds of it); --codec is the format the host offers the driver (default g711u).\n"
           "ptz actions, run in order (speeds 1 to 16): move left|right|up|down|up-left|up-right|down-left|\n"
           "down-right SPEED, zoom in|out SPEED, focus near|far SPEED, iris open|close SPEED, stop, center X Y,\n"
           "area-zoom X Y PERCENT, unzoom, preset-save NAME, preset-call NAME [SPEED], preset-delete NAME,\n"
           "presets, wait MS. --ptz takes the PTZ capabilities (device property 4), such as\n"
           "\"Pan=1;Tilt=1;Zoom=1;Focus=1;Iris=1;AreaZoom=1;Center=1;Unzoom=1;Preset=16\".\n";
}

std::optional<SpeakCodec> ParseSpeakCodec(std::string_view text) {
    if (text == "g711u")
        return SpeakCodec::G711u;
    if (text == "g711a")
        return SpeakCodec::G711a;
    if (text == "g726")
        return SpeakCodec::G726;
    if (text == "aac")
        return SpeakCodec::Aac;
    return std::nullopt;
}

bool AsksForHelp(int argc, const char* const argv[]) {
    for (int index = 1; index < argc; ++index)
        if (std::string_view(argv[index]) == "--help" || std::string_view(argv[index]) == "-h")
            return true;
    return false;
}

std::optional<HostOptions> ParseHostOptions(int argc, const char* const argv[], std::string& error) {
    if (argc < 2) {
        error = "no command given";
        return std::nullopt;
    }
    HostOptions options;
    options.command = argv[1];
    if (options.command != "open" && options.command != "record" && options.command != "io" &&
        options.command != "ptz" && options.command != "query" && options.command != "speak") {
        error = "unknown command '" + options.command + "'";
        return std::nullopt;
    }
    OptionReader reader(options);
    for (int index = 2; index < argc; ++index) {
        std::string_view argument = argv[index];
        if (options.command == "ptz" && !argument.starts_with("--")) {
            const std::vector<std::string_view> words(argv + index, argv + argc);
            auto actions = ParsePtzActions(words, error);
            if (!actions)
                return std::nullopt;
            options.ptzActions = std::move(*actions);
            break;
        }
        std::string_view key = argument.substr(argument.starts_with("--") ? 2 : 0);
        bool takesValue = !reader.TakesNoValue(key);
        if (!argument.starts_with("--") || (takesValue && index + 1 >= argc)) {
            error = "expected --OPTION VALUE at '" + std::string(argument) + "'";
            return std::nullopt;
        }
        std::string value = takesValue ? argv[++index] : std::string();
        if (auto failure = reader.Read(key, value)) {
            error = *failure;
            return std::nullopt;
        }
    }
    if (auto failure = reader.Finish()) {
        error = *failure;
        return std::nullopt;
    }
    return options;
}

} // namespace fennwick_host

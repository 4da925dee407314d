#include "audio/AudioCameraCommands.h"

#include "common/ConfigFile.h"
#include "http/InquiryValue.h"

namespace talvex {
namespace {

constexpr std::string_view kOn = "on";
constexpr std::string_view kMic = "mic";

// Adds key=value unless the camera reports exactly that value. The value is
// compared whole: a volume of 1 is not "set" by a reported 10.
void AddPart(std::string& command, std::string_view answer, std::string_view key, const std::string& value) {
    if (GetInquiryValue(answer, key) == value)
        return;
    if (!command.empty())
        command += '&';
    command.append(key).append("=").append(value);
}

bool HasKey(std::string_view answer, std::string_view keyWithSeparator) {
    return answer.find(keyWithSeparator) != std::string_view::npos;
}

} // namespace

std::optional<std::string> BuildAudioInCommand(std::string_view answer, const AudioInRequest& request) {
    if (!HasKey(answer, "AudioIn="))
        return std::nullopt;
    std::string command;
    AddPart(command, answer, "AudioIn", std::string(kOn));
    if (!request.source.empty())
        AddPart(command, answer, "MicLineSelect", request.source);
    const bool mic = request.source.starts_with(kMic) ||
                     (request.volumeForCameraMic && GetInquiryValue(answer, "MicLineSelect").starts_with(kMic));
    if (request.volume != AUDIO_CONFIG::kVolumeNotSet && mic)
        AddPart(command, answer, "AudioInVolume", std::to_string(request.volume));
    AddPart(command, answer, "AudInCodec", request.codecName);
    return command;
}

std::optional<std::string> BuildAudioOutCommand(std::string_view answer, int32_t volume) {
    if (!HasKey(answer, "AudioOut="))
        return std::nullopt;
    std::string command;
    AddPart(command, answer, "AudioOut", std::string(kOn));
    if (volume != AUDIO_CONFIG::kVolumeNotSet)
        AddPart(command, answer, "AudioOutVolume", std::to_string(volume));
    return command;
}

} // namespace talvex

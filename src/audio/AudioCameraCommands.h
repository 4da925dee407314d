// The camera.cgi commands that prepare a camera's audio, built from its
// "/command/inquiry.cgi?inq=camera" answer: only the settings that differ
// from what the camera reports are sent. Pure code over the answer text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvex {

struct AudioInRequest {
    std::string source;  // "mic", "line" or empty (leave the camera's choice)
    int32_t volume;      // AUDIO_CONFIG::kVolumeNotSet when not configured
    std::string codecName;
    // The HTTP stream also sets the volume when the camera itself reports a
    // microphone source (the configured source may be empty).
    bool volumeForCameraMic = false;
};

// Parts joined with '&' ("AudioIn=on&MicLineSelect=mic&AudioInVolume=3&AudInCodec=g711_64"),
// empty when the camera is set already; nullopt when the answer has no "AudioIn=".
std::optional<std::string> BuildAudioInCommand(std::string_view answer, const AudioInRequest& request);

// "AudioOut=on" and "AudioOutVolume=<volume>" as needed; nullopt without "AudioOut=".
std::optional<std::string> BuildAudioOutCommand(std::string_view answer, int32_t volume);

} // namespace talvex

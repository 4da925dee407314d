// What speak does to a sound file before the driver gets it: decoded and
// resampled to what cameras play (8 kHz mono, 16-bit), then encoded in the
// channel's codec, all through FFmpeg's libraries.
#pragma once

#include "ElementaryStream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fennwick_host {

constexpr uint32_t kSpeakSampleRate = 8000;
// The longest stretch of a file speak holds in memory: one hour.
constexpr uint32_t kMaxSpeakSeconds = 3600;

// The first audio stream of the file as 8 kHz mono samples, at most
// maxSeconds of it (0: all, up to kMaxSpeakSeconds); none and the error text
// when the file cannot be read or holds no audio.
std::optional<std::vector<int16_t>> DecodeAudioFile(const std::string& path, uint32_t maxSeconds, std::string& error);

// The samples in codec (G.711 mu-law or A-law, G.726 at bitRate in the
// big-endian packing); none and the error text for a codec or rate the
// encoder cannot make. The last frame is padded with silence.
std::optional<std::vector<uint8_t>> EncodeAudio(const std::vector<int16_t>& samples, AudioCodec codec,
                                                uint32_t bitRate, std::string& error);

} // namespace fennwick_host

// The format of one audio channel, the codec choice from the configuration
// and the device's codec list, and the filling of a host audio frame.
#pragma once

#include "audio/IAudioParserCallback.h"

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <span>
#include <string>

namespace talvex {

inline constexpr uint32_t kFourccG711MuLaw = ipcapture::MakeFourCC('7', '1', '1', 'M');
inline constexpr uint32_t kFourccG711ALaw = ipcapture::MakeFourCC('7', '1', '1', 'A');
inline constexpr uint32_t kFourccG726 = ipcapture::MakeFourCC('7', '2', '6', '1');
inline constexpr uint32_t kFourccAac = ipcapture::MakeFourCC('A', 'A', 'C', '1');

struct AudioFormat {
    uint32_t fourcc = kFourccG711MuLaw;
    uint32_t samplesPerSecond = 8000;
    uint32_t bitrate = 64000;
    uint8_t bitsPerSample = 16;
    uint8_t isStereo = 0;

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// The codec name the camera is told ("AudInCodec=", "/audio-out/<name>.cgi")
// and the format that goes with it.
struct AudioCodecChoice {
    std::string name;
    AudioFormat format;
};

// G.711 µ-law at 64 kbit/s unless the device's list (names separated by '/')
// holds the configured name as a G.726 entry "g726_<kbit/s>".
AudioCodecChoice SelectAudioCodec(const std::string& configuredName, const std::string& deviceCodecList);

// Fills a host frame in the order the host expects: codec, data, format, bit
// rate, channel number, finish. False when the frame would not take the data.
bool FillAudioFrame(ipcapture::IAudioFrame& frame, const AudioFormat& format, std::span<const uint8_t> data,
                    uint8_t channelNumber);

enum class AudioDelivery { NoFrame, Refused, Taken };

// Asks the allocator for a frame named name, fills it and hands it to the
// consumer; the frame goes back to the allocator in every case. A consumer
// that throws counts as a refusal.
AudioDelivery DeliverAudioFrame(ipcapture::IFrameAllocator& allocator, IAudioParserCallback* consumer,
                                const AudioFormat& format, std::span<const uint8_t> data, uint8_t channelNumber,
                                const std::string& name);

} // namespace talvex

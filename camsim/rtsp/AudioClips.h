// The audio the simulated camera's microphone sends, cut from the clips of
// scripts/make-clips: G.711 mu-law and A-law and G.726 as raw codec bytes,
// AAC as access units (the ADTS headers taken off). The camera's "AudInCodec"
// names which one: "g711_64" (mu-law), "g711a_64" (A-law: camsim's own name,
// the cameras know only one G.711), "g726_16" to "g726_40", "aac16_64".
#pragma once

#include "MediaClips.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace camsim {

enum class AudioCodec { MuLaw, ALaw, G726, Aac };

struct AudioCodecChoice {
    AudioCodec codec = AudioCodec::MuLaw;
    uint32_t bitrate = 64000; // bits per second
};

// The camera's codec names; nullopt for any other text.
std::optional<AudioCodecChoice> ParseAudioCodecName(std::string_view name);
// Every name ParseAudioCodecName takes, '/'-separated as the camera lists them.
extern const char* const AUDIO_CODEC_NAMES;

struct AudioClip {
    AudioCodecChoice choice;
    uint32_t sampleRate = 8000;
    Bytes stream;             // G.711, G.726: the codec bytes
    std::vector<Bytes> units; // AAC: one access unit each, 1024 samples
    Bytes aacConfig;          // AAC: AudioSpecificConfig (ISO 14496-3 1.6.2.1)
};

// ADTS frames (ISO 14496-3 1.A.2) to access units and their configuration;
// nullopt for a stream that is not ADTS or changes its format midway.
std::optional<AudioClip> CutAdts(std::span<const uint8_t> stream);

// Loads the clip of a codec choice once and keeps it.
class AudioClipLibrary {
public:
    explicit AudioClipLibrary(std::string directory);
    // Null when the clip cannot be read.
    std::shared_ptr<const AudioClip> Get(const AudioCodecChoice& choice);

private:
    std::string m_directory;
    std::mutex m_mutex;
    std::map<std::pair<AudioCodec, uint32_t>, std::shared_ptr<const AudioClip>> m_loaded;
};

// One piece of the microphone's signal, as one RTP payload or one piece of
// the HTTP audio stream carries it.
struct AudioPiece {
    Bytes bytes;
    uint32_t samples = 0; // its duration in samples of the clip's rate
};

// Walks a clip in a loop: 20 ms of G.711 or G.726 bytes, or one AAC access
// unit per piece.
class AudioPieces {
public:
    explicit AudioPieces(std::shared_ptr<const AudioClip> clip);
    AudioPiece Next();
    const AudioClip& Clip() const { return *m_clip; }

private:
    std::shared_ptr<const AudioClip> m_clip;
    size_t m_position = 0;
};

// How the clip travels as an RTP track: payload type, clock rate and its SDP
// media lines (RFC 3551 PCMU, PCMA and AAL2-G726-xx, whose big-endian packing
// the clips have; RFC 3640 mpeg4-generic AAC-hbr).
struct AudioRtpFormat {
    uint8_t payloadType = 0;
    uint32_t clockRate = 8000;
    std::string media; // "m=audio ..." up to, without, the a=control line
};
AudioRtpFormat DescribeAudioTrack(const AudioClip& clip);

// RFC 3640 AAC-hbr framing, also the camera's HTTP AAC stream: a 16-bit
// AU-headers-length of 16 bits, then AU-size (13 bits) and AU-index (3 bits, 0).
Bytes FrameAacUnit(std::span<const uint8_t> unit);

} // namespace camsim

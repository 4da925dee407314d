// What a recording needs to know about the compressed frames the driver
// delivers: their codec from the frame type code, and the decoder
// configuration some codecs carry at the start of a key frame. Pure code over
// the frame's bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace fennwick_host {

enum class VideoCodec { H264, Mpeg4, Jpeg };
enum class AudioCodec { MuLaw, ALaw, G726, Aac };

struct FrameKind {
    VideoCodec codec;
    bool isKey;
};

// "H264"/"I264", "DIVX"/"DIVI", "JPEG" (every JPEG picture stands alone); none for other codes.
std::optional<FrameKind> ClassifyFrameType(uint32_t typeCode);

std::string_view VideoCodecName(VideoCodec codec);

// The driver's audio codec tags "711M", "711A", "7261", "AAC1"; none for other codes.
std::optional<AudioCodec> ClassifyAudioCodec(uint32_t fourcc);
uint32_t AudioCodecTag(AudioCodec codec);
std::string_view AudioCodecName(AudioCodec codec);

// The sequence and picture parameter sets (RFC 6184 NAL unit types 7 and 8) of
// an Annex B access unit, each behind a four-byte start code, in frame order.
// Empty when the frame lacks either kind.
std::vector<uint8_t> H264ParameterSets(std::span<const uint8_t> accessUnit);

// The configuration headers of an MPEG-4 part 2 key frame (visual object
// sequence, visual object, video object layer, GOV): everything before the first
// VOP start code 00 00 01 B6. Empty when the frame starts with the VOP or has no
// video object layer.
std::span<const uint8_t> Mpeg4ConfigurationHeaders(std::span<const uint8_t> keyFrame);

// The decoder configuration a muxer needs from the first key frame of a file;
// none when the frame cannot start one.
std::optional<std::vector<uint8_t>> TrackExtradata(VideoCodec codec, std::span<const uint8_t> keyFrame);

} // namespace fennwick_host

// The short clips the simulated camera streams, cut into frames: H.264 access
// units (NAL units without start codes), MPEG-4 VOPs with the configuration
// that precedes them, JPEG pictures. Clips are encoded by scripts/make-clips.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace camsim {

enum class VideoCodec { H264, Mpeg4, Jpeg };

// "h264", "mpeg4", "jpeg" (as the camera's ImageCodec values); nullopt otherwise.
std::optional<VideoCodec> ParseVideoCodec(std::string_view text);

using Bytes = std::vector<uint8_t>;

struct ClipFrame {
    std::vector<Bytes> units; // H.264: NAL units; MPEG-4 and JPEG: one unit
    bool key = false;
};

struct Clip {
    // scripts/make-clips encodes every clip at this rate.
    static constexpr uint32_t FRAME_RATE = 10;

    VideoCodec codec = VideoCodec::H264;
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<ClipFrame> frames;
    Bytes sequenceParameterSet; // H.264
    Bytes pictureParameterSet;  // H.264
    Bytes configuration;        // MPEG-4: VOS, VO and VOL headers
};

// Splitters over whole elementary streams; empty results for unusable input.
std::vector<Bytes> SplitAnnexB(std::span<const uint8_t> stream);
std::optional<Clip> CutH264(std::span<const uint8_t> stream);
std::optional<Clip> CutMpeg4(std::span<const uint8_t> stream);
std::optional<Clip> CutJpeg(std::span<const uint8_t> stream);

// Loads "clip-WxH.<h264|m4v|mjpeg>" from a folder once and keeps it.
class ClipLibrary {
public:
    explicit ClipLibrary(std::string directory);
    // The clip of the codec whose size is the largest not above the asked
    // width (the smallest one when none fits); null when none loads.
    std::shared_ptr<const Clip> Get(VideoCodec codec, uint16_t width);

private:
    std::string m_directory;
    std::mutex m_mutex;
    std::map<std::pair<VideoCodec, uint16_t>, std::shared_ptr<const Clip>> m_loaded;
};

} // namespace camsim

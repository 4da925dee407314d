// One Matroska file with one video track and optionally one audio track,
// written through libavformat. Frames go in as the driver delivers them
// (Annex B H.264, MPEG-4 part 2 with its headers, whole JPEG pictures; G.711
// or G.726 bytes); their file times become millisecond timestamps counted
// from the origin (the first frame unless set), on one time line for both
// tracks. Not thread-safe: the owner serialises calls.
#pragma once

#include "ElementaryStream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVPacket;

namespace fennwick_host {

struct VideoTrackFormat {
    VideoCodec codec = VideoCodec::H264;
    uint16_t width = 0;
    uint16_t height = 0;
    // H.264: the parameter sets in Annex B form (the muxer turns them into its
    // avcC record and the frames into length-prefixed units); MPEG-4: the
    // configuration headers; JPEG: empty.
    std::vector<uint8_t> extradata;
};

// G.711 and G.726 (big-endian packing) at 8 kHz mono; Matroska has no G.726 of the other packing.
struct AudioTrackFormat {
    AudioCodec codec = AudioCodec::MuLaw;
    uint32_t bitRate = 64000;
};

class MatroskaWriter {
public:
    // Creates (truncates) the file and writes its header; null and the error text on failure.
    static std::unique_ptr<MatroskaWriter> Create(const std::string& path, const VideoTrackFormat& format,
                                                  std::string& error,
                                                  const std::optional<AudioTrackFormat>& audio = std::nullopt);
    // Finishes the file when Finish was not called.
    ~MatroskaWriter();
    MatroskaWriter(const MatroskaWriter&) = delete;
    MatroskaWriter& operator=(const MatroskaWriter&) = delete;

    // Adds one frame. A frame is written when the next one arrives, so that it
    // gets its true duration. A time that is not after the previous frame's is
    // written 1 ms after it: players and remuxers want strictly increasing
    // timestamps, and a camera's clock may step back.
    std::optional<std::string> WriteFrame(std::span<const uint8_t> data, bool isKey, uint64_t fileTime);
    // Before the first frame: the file time that becomes timestamp 0 (earlier times become 0).
    void SetOrigin(uint64_t fileTime) { m_originTime = fileTime; }
    // Adds one audio frame that begins at fileTime (the file must have an
    // audio track). One that would overlap the one before it follows it.
    std::optional<std::string> WriteAudio(std::span<const uint8_t> data, uint64_t fileTime);
    // Writes the held frame and the trailer and closes the file; later calls do nothing.
    std::optional<std::string> Finish();

    uint64_t FramesWritten() const { return m_framesWritten; }
    uint64_t AudioFramesWritten() const { return m_audioFramesWritten; }

private:
    explicit MatroskaWriter(AVFormatContext* context);
    std::optional<std::string> WritePending(int64_t durationMs);
    int64_t Milliseconds(uint64_t fileTime) const;
    void Close();

    AVFormatContext* m_context;
    AVPacket* m_pending;
    bool m_headerWritten = false;
    bool m_hasPending = false;
    bool m_finished = false;
    uint64_t m_originTime = 0;
    int64_t m_lastMs = 0;
    int64_t m_lastDurationMs = 0;
    uint64_t m_framesWritten = 0;
    uint32_t m_audioBytesPerSecond = 0; // 0: no audio track
    int64_t m_audioEndMs = 0;           // where the last audio frame ended
    uint64_t m_audioFramesWritten = 0;
};

} // namespace fennwick_host

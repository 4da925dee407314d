// The host callback of one audio input channel (record --audio). The driver's
// audio frames carry no time: each is stamped on arrival, as beginning one
// frame's duration (its bytes at its bit rate) before it arrived, since the
// driver hands a frame over when its last byte came. G.711 and G.726 frames
// go into the recording stream's file; every frame is counted. Driver threads
// call in; nothing escapes.
#pragma once

#include "ElementaryStream.h"
#include "StreamRecorder.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace fennwick_host {

struct AudioReport {
    std::optional<AudioCodec> codec; // of the first frame
    uint32_t bitRate = 0;
    uint64_t frames = 0;
    uint64_t bytes = 0;
    uint64_t framesRefused = 0; // no audio codec tag, or no data
    uint64_t framesWritten = 0; // into the file
    // Frames that came later than the one before them plus its duration and kGapTolerance.
    uint64_t gaps = 0;
    uint64_t signalLosses = 0; // status changes to signal lost
    uint32_t status = talvex::ipcapture::ChannelStopped;
};

class AudioRecorder : public talvex::ipcapture::IAudioCaptureCallback {
public:
    static constexpr std::chrono::milliseconds kGapTolerance{500};

    // file: the stream whose file gets the audio; null counts only.
    explicit AudioRecorder(StreamRecorder* file);

    bool OnAudioFrame(talvex::ipcapture::IAudioFrame* frame) override;
    void OnStatusChanged(uint32_t id, uint32_t status) override;

    AudioReport Report() const;

private:
    // The frame's duration in file-time units (100 ns); 0 when it cannot be told (AAC).
    static uint64_t Duration(AudioCodec codec, uint32_t bitRate, uint32_t bytes);
    void CountGap(std::chrono::steady_clock::time_point now, uint64_t duration);

    StreamRecorder* m_file;
    mutable std::mutex m_mutex;
    AudioReport m_report;
    std::optional<std::chrono::steady_clock::time_point> m_expectedNext;
};

// The audio lines of a recording's summary:
//   audio: G.711 mu-law 64.0 kbit/s -> out/rec.mkv
//     frames 10 (80000 bytes), written 10, refused 0, gaps 0, signal losses 0, status 2 (running)
std::string FormatAudioSummary(const AudioReport& report, const std::string& path);

// "running", "signal lost", ... of a channel status.
std::string_view AudioStatusName(uint32_t status);

} // namespace fennwick_host

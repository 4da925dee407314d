// What the simulated camera recorded of its recording stream: a ring of
// recordings (a new one every RECORDING_MS unless told otherwise, after a
// codec change or when the camera's clock steps back), each a run of the clip's compressed frames with
// their capture times on the camera's clock. Frames are shared with the clip
// they came from, so a frame costs a few words whatever its size; the ring
// keeps at most MAX_RECORDED_MS and MAX_RECORDED_FRAMES. Thread-safe.
#pragma once

#include "MediaClips.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace camsim {

struct RecordedFrame {
    int64_t timeMs = 0; // camera time, ms since 1970 UTC
    std::shared_ptr<const ClipFrame> frame;
};

struct RecordingEntry {
    std::string name;
    int64_t startMs = 0; // first frame's time
    int64_t endMs = 0;   // last frame's time
    bool operator==(const RecordingEntry&) const = default;
};

class RecordingStore {
public:
    static constexpr int64_t MAX_RECORDED_MS = 15 * 60 * 1000;
    // 15 minutes at 60 frames a second.
    static constexpr size_t MAX_RECORDED_FRAMES = 60 * 15 * 60;
    static constexpr int64_t RECORDING_MS = 60 * 1000;

    explicit RecordingStore(int64_t recordingMs = RECORDING_MS) : m_recordingMs(recordingMs) {}

    // Frames of a clip, one at a time in time order; a frame not after the one
    // before it (the clock stepped back) or of another clip starts a new recording.
    void Add(const std::shared_ptr<const Clip>& clip, size_t frameIndex, int64_t timeMs);
    // The camera stopped recording (its stream switched off): the next frame starts a new recording.
    void Interrupt();

    std::vector<RecordingEntry> Recordings() const;
    // The recordings that overlap [fromMs, toMs), by start time.
    std::vector<RecordingEntry> Search(int64_t fromMs, int64_t toMs) const;
    // Null for an unknown name.
    std::shared_ptr<const Clip> ClipOf(const std::string& name) const;
    // The recording's first frame at or after timeMs (strictly after when
    // `after`); none when it has no such frame (yet).
    std::optional<RecordedFrame> FrameFrom(const std::string& name, int64_t timeMs, bool after) const;
    // The recording is still being written to.
    bool IsOpen(const std::string& name) const;
    // Every stored frame's time, oldest first.
    std::vector<int64_t> FrameTimes() const;

private:
    struct Recording {
        std::string name;
        std::shared_ptr<const Clip> clip;
        std::deque<RecordedFrame> frames;
    };
    void DropOldest();
    const Recording* Find(const std::string& name) const;

    const int64_t m_recordingMs;
    mutable std::mutex m_mutex;
    std::deque<Recording> m_recordings; // oldest first; only the last one is open
    bool m_open = false;
    size_t m_frames = 0;
    uint32_t m_nextNumber = 1;
};

} // namespace camsim

// The frames the driver fetched from the camera's own storage for one stream
// after an outage ("edge storage"), kept apart from the live recording: each
// filled interval becomes its own Matroska file PREFIX<first_frame_unix_ms>.mkv
// (such as out/rec-edge-1796590000000.mkv), its timestamps counted from that
// first frame's time on the camera's time line.
//
// The driver replays one interval at a time, in time order, and never the
// same frame twice. An interval ends when the next replayed frame lies more
// than kIntervalSplit of recorded time after the one before it (the next
// outage's interval), or when no replayed frame came for kIdleEnd (checked on
// every frame of the stream and by Tick). Each finished interval is told to the
// event log as "edge-filled <begin_ms> <end_ms> <frames>". Not thread-safe: the
// stream's recorder serialises calls.
#pragma once

#include "ElementaryStream.h"
#include "MatroskaWriter.h"
#include "StreamEventLog.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fennwick_host {

struct EdgeFillReport {
    std::string path;       // empty when writing was not asked for
    uint64_t firstTime = 0; // file times of the first and last frame taken
    uint64_t lastTime = 0;
    uint64_t frames = 0;        // taken into the interval
    uint64_t framesSkipped = 0; // before its first usable key frame, or not after the frame before
    std::string error;          // the first write error
    bool finished = false;
};

// File time (100 ns since 1601 UTC) as milliseconds since 1970.
int64_t FileTimeToUnixMs(uint64_t fileTime);

class EdgeFillRecorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kIntervalSplit{5000};
    static constexpr std::chrono::milliseconds kIdleEnd{10000};

    // pathPrefix empty: count, write nothing.
    explicit EdgeFillRecorder(std::string pathPrefix);
    void ReportEventsTo(StreamEventLog& events, std::string source);

    struct Frame {
        std::span<const uint8_t> bytes;
        FrameKind kind;
        uint64_t fileTime = 0;
        uint16_t width = 0;
        uint16_t height = 0;
    };
    void OnFrame(const Frame& frame, Clock::time_point arrival);
    // Finishes the interval when no replayed frame came for kIdleEnd.
    void Tick(Clock::time_point now);
    // Finishes the interval being filled.
    void Finish();

    std::vector<EdgeFillReport> Reports() const;

private:
    struct Fill {
        EdgeFillReport report;
        std::unique_ptr<MatroskaWriter> writer;
        Clock::time_point lastArrival;
    };
    void FinishCurrent();
    void Write(Fill& fill, const Frame& frame);
    bool Open(Fill& fill, const Frame& frame);

    std::string m_pathPrefix;
    StreamEventLog* m_events = nullptr;
    std::string m_source;
    std::vector<Fill> m_fills; // the last one may be open
};

} // namespace fennwick_host

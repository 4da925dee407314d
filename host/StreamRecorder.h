// The frame sink of one video stream (the channel callback the host gives to
// StartStream). Driver threads call it; every call takes the recorder's mutex
// and writes straight to the file, which is quick enough for a channel's
// delivery thread. Without an output path the recorder only counts (a discard
// sink for measurements).
#pragma once

#include "EdgeFillRecorder.h"
#include "ElementaryStream.h"
#include "HostDebugSink.h"
#include "MatroskaWriter.h"
#include "MotionTracker.h"
#include "StreamEventLog.h"
#include "StreamStatistics.h"

#include <talvex/ipcapture/HostObjects.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace fennwick_host {

struct StreamReport {
    std::string name;
    std::string path;                 // empty for a discard sink
    std::optional<VideoCodec> codec;  // of the first frame
    StreamStatistics statistics;      // every frame the driver delivered
    uint64_t framesWritten = 0;       // complete after Finish (the writer holds one frame back)
    uint64_t framesSkipped = 0;       // before the first usable key frame
    uint64_t framesRefused = 0;       // unknown type code or another codec than the first frame's
    std::string error;                // the first write error; nothing is written after it
    bool motion = false;              // the stream also carries its channel's motion frames
    uint64_t motionChanges = 0;
    uint64_t motionOnsets = 0;        // changes to motion
    uint64_t motionChannelLosses = 0; // signal losses of the motion channel (not of the video)
    std::string lastStartFailure;     // the driver's last line on why the stream could not start
    std::vector<EdgeFillReport> edgeFills; // intervals filled from the camera's storage, oldest first
    bool audioExpected = false;       // the file was to carry the audio input too
    uint64_t audioFramesWritten = 0;
};

class StreamRecorder : public talvex::ipcapture::IVideoChannelCallback, public IStartFailureListener {
public:
    // A frame arriving this long after the one before it ends a gap (an event line).
    static constexpr std::chrono::milliseconds kEventGap{1000};
    // The video channel tells of a lost signal only after the device's second
    // time-out (10 s) without a frame; a loss told sooner after a video frame
    // is the motion channel's, which shares this sink.
    static constexpr std::chrono::milliseconds kVideoLossSilence{9000};
    // The longest span of video held while the file waits for the first audio frame.
    static constexpr std::chrono::milliseconds kMaxAudioWait{5000};
    static constexpr size_t kMaxHeldFrames = 600;

    // outputPath empty: count frames, write nothing.
    StreamRecorder(std::string name, std::string outputPath);
    // Also reports signal losses and frames resuming after a gap to events,
    // as "<camera> <stream> signal-lost" and "<camera> <stream> resumed <gap_ms>",
    // each new cause the stream cannot start for as "<camera> <stream> start-failed <cause>",
    // and motion changes as "<camera> motion on|off".
    void ReportEventsTo(StreamEventLog& events, const std::string& camera, const std::string& stream);
    // The channel of this stream also detects motion: its "MEMD" frames are
    // taken, tracked and counted, never written.
    void TrackMotion();
    // The stream's channel fills outages from the camera's own storage: its
    // replayed frames go to one file per interval, PREFIX<first_frame_unix_ms>.mkv
    // (only counted when the recorder writes no file), never into the live file.
    void FillEdgeIntervals(const std::string& pathPrefix);
    // Finishes an edge interval that no replayed frame joined for a while (EdgeFillRecorder.h).
    void Tick();
    // The file also carries the device's audio input. It opens once the first
    // key frame and the first audio frame (which tells the codec) are there;
    // video until then is held, at most kMaxAudioWait of it, after which the
    // file opens without audio.
    void ExpectAudio();
    // One audio frame that began at startTime (a file time); false when it
    // cannot join the file (no audio expected, a codec Matroska cannot carry
    // here, another codec than the first frame's, before the first key frame,
    // or after the file opened without audio).
    bool AddAudio(const AudioTrackFormat& format, std::span<const uint8_t> data, uint64_t startTime);

    // True when the host took the frame: every video frame of a known type
    // until Finish, also one that cannot be written (before the first key
    // frame, another codec, after a write error). The channel takes a refused
    // frame as a missing one and in the end as a lost signal, which would only
    // make it reconnect to a camera that is sending.
    bool OnFrame(talvex::ipcapture::IVideoFrame* frame) override;
    void OnStateChanged(uint32_t state) override;
    void OnSignalLost() override;
    void OnStartFailure(const std::string& line, const std::string& cause) override;

    // Finishes the file (trailer written); frames that come later are refused.
    // The error text when the file could not be finished.
    std::optional<std::string> Finish();

    StreamReport Report() const;

private:
    void Record(talvex::ipcapture::IVideoFrame& frame, const FrameKind& kind);
    // Under the mutex; true when the frame was a motion frame of this channel.
    bool TakeMotionFrame(talvex::ipcapture::IVideoFrame& frame);
    // Under the mutex; true when the frame was a replayed one (taken or refused in refused).
    bool TakeReplayedFrame(talvex::ipcapture::IVideoFrame& frame, bool& refused);
    // The gap before this frame when it ends one (called under the mutex).
    std::optional<std::chrono::milliseconds> TakeArrivalGap();
    bool OpenFile(talvex::ipcapture::IVideoFrame& frame, VideoCodec codec);
    // Video of a file that waits for its audio: held until the audio format is known.
    void Hold(talvex::ipcapture::IVideoFrame& frame, const FrameKind& kind);
    bool OpenWithHeldFrames(const std::optional<AudioTrackFormat>& audio, uint64_t origin);

    struct HeldFrame {
        std::vector<uint8_t> bytes;
        bool isKey = false;
        uint64_t time = 0;
    };
    enum class AudioPlan { None, Waiting, Writing, Missing };

    mutable std::mutex m_mutex;
    StreamReport m_report;
    std::unique_ptr<MatroskaWriter> m_writer;
    bool m_finished = false;
    StreamEventLog* m_events = nullptr;
    std::string m_eventSource;
    std::string m_motionSource;
    std::string m_lastStartCause;
    std::optional<std::chrono::steady_clock::time_point> m_lastArrival;
    std::optional<MotionTracker> m_motion;
    std::unique_ptr<EdgeFillRecorder> m_edge;
    AudioPlan m_audioPlan = AudioPlan::None;
    std::optional<VideoTrackFormat> m_heldFormat; // of the first held key frame
    std::vector<HeldFrame> m_held;
    std::optional<AudioTrackFormat> m_audioFormat;
};

// The summary of one stream as the host prints it at the end of a recording:
//   stream rec: H.264 -> out/rec.mkv
//     frames 250 (key frames 9), 25.00 frames/s, 1534.2 kbit/s, signal losses 0
//     first frame 2026-12-06 08:00:00.000 UTC, last frame 2026-12-06 08:00:09.960 UTC
//     written 250, skipped before the first key frame 0, refused 0
//     motion changes 3 (to motion 2), motion channel losses 1
//     edge fill 2026-12-06 07:58:10.100 UTC to 2026-12-06 07:58:20.000 UTC, frames 100 -> out/rec-edge-1796540290100.mkv
// (the motion line only when the stream tracks motion, an edge fill line per
// interval filled from the camera's storage), a line
// "  error: ..." when writing failed, and for a stream without frames
// "  no frames: <the driver's last start failure line>" when it gave one.
std::string FormatStreamSummary(const StreamReport& report);

} // namespace fennwick_host

#include "StreamRecorder.h"

#include "HostFrames.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace fennwick_host {
namespace {

constexpr uint32_t kMotionFrameType = talvex::ipcapture::MakeFourCC('M', 'E', 'M', 'D');

std::span<const uint8_t> FrameBytes(talvex::ipcapture::IVideoFrame& frame) {
    const uint8_t* buffer = frame.GetBuffer();
    uint32_t size = std::min(frame.GetDataSize(), frame.GetCapacity());
    return buffer ? std::span<const uint8_t>(buffer, size) : std::span<const uint8_t>();
}

} // namespace

StreamRecorder::StreamRecorder(std::string name, std::string outputPath) {
    m_report.name = std::move(name);
    m_report.path = std::move(outputPath);
}

void StreamRecorder::ReportEventsTo(StreamEventLog& events, const std::string& camera, const std::string& stream) {
    std::lock_guard lock(m_mutex);
    m_events = &events;
    m_eventSource = camera + " " + stream;
    m_motionSource = camera;
    if (m_edge)
        m_edge->ReportEventsTo(events, m_eventSource);
}

void StreamRecorder::TrackMotion() {
    std::lock_guard lock(m_mutex);
    m_motion.emplace();
}

void StreamRecorder::FillEdgeIntervals(const std::string& pathPrefix) {
    std::lock_guard lock(m_mutex);
    m_edge = std::make_unique<EdgeFillRecorder>(m_report.path.empty() ? std::string() : pathPrefix);
    if (m_events)
        m_edge->ReportEventsTo(*m_events, m_eventSource);
}

void StreamRecorder::Tick() {
    std::lock_guard lock(m_mutex);
    if (m_edge)
        m_edge->Tick(std::chrono::steady_clock::now());
}

bool StreamRecorder::TakeReplayedFrame(talvex::ipcapture::IVideoFrame& frame, bool& refused) {
    const auto* hostFrame = dynamic_cast<const VideoFrame*>(&frame);
    if (!m_edge || !hostFrame || !hostFrame->IsReplayed())
        return false;
    std::optional<FrameKind> kind = ClassifyFrameType(frame.GetTypeCode());
    refused = !kind;
    if (kind)
        m_edge->OnFrame({FrameBytes(frame), *kind, frame.GetTime(), frame.GetWidth(), frame.GetHeight()},
                        std::chrono::steady_clock::now());
    return true;
}

bool StreamRecorder::TakeMotionFrame(talvex::ipcapture::IVideoFrame& frame) {
    if (!m_motion || frame.GetTypeCode() != kMotionFrameType)
        return false;
    if (std::optional<bool> state = MotionTracker::StateOfFrame(FrameBytes(frame)))
        if (std::optional<bool> change = m_motion->OnFrame(*state); change && m_events)
            m_events->Record(m_motionSource, *change ? "motion on" : "motion off");
    return true;
}

void StreamRecorder::OnStartFailure(const std::string& line, const std::string& cause) {
    std::lock_guard lock(m_mutex);
    m_report.lastStartFailure = line;
    // A restarted channel may tell the same cause again: the file gets each change only.
    if (cause == m_lastStartCause)
        return;
    m_lastStartCause = cause;
    if (m_events)
        m_events->Record(m_eventSource, "start-failed " + cause);
}

std::optional<std::chrono::milliseconds> StreamRecorder::TakeArrivalGap() {
    const auto now = std::chrono::steady_clock::now();
    std::optional<std::chrono::milliseconds> gap;
    if (m_lastArrival && now - *m_lastArrival > kEventGap)
        gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - *m_lastArrival);
    m_lastArrival = now;
    return gap;
}

// Driver threads call in: nothing may escape, a failure only refuses the frame.
bool StreamRecorder::OnFrame(talvex::ipcapture::IVideoFrame* frame) {
    if (!frame)
        return false;
    try {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return false;
        if (TakeMotionFrame(*frame))
            return true;
        // Replayed frames are the camera's recording of an outage: neither live figures nor arrivals.
        if (bool refused = false; TakeReplayedFrame(*frame, refused))
            return !refused;
        if (m_edge)
            m_edge->Tick(std::chrono::steady_clock::now());
        // Arrivals are kept also without an event log: they tell whose signal loss the driver reports.
        // The event log has its own lock and calls nobody back.
        if (auto gap = TakeArrivalGap(); gap && m_events)
            m_events->Record(m_eventSource, "resumed " + std::to_string(gap->count()));
        std::optional<FrameKind> kind = ClassifyFrameType(frame->GetTypeCode());
        if (!kind) {
            ++m_report.framesRefused;
            return false;
        }
        // A frame of another codec comes from a stream that still runs: it is
        // taken (so the channel sees its signal) but cannot join this file.
        if (m_report.codec && *m_report.codec != kind->codec) {
            ++m_report.framesRefused;
            return true;
        }
        m_report.codec = kind->codec;
        m_report.statistics.AddFrame(frame->GetTime(), frame->GetDataSize(), kind->isKey);
        if (!m_report.path.empty())
            Record(*frame, *kind);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void StreamRecorder::Record(talvex::ipcapture::IVideoFrame& frame, const FrameKind& kind) {
    if (!m_report.error.empty())
        return;
    if (!m_writer && m_audioPlan == AudioPlan::Waiting)
        return Hold(frame, kind);
    if (!m_writer && !(kind.isKey && OpenFile(frame, kind.codec))) {
        ++m_report.framesSkipped;
        return;
    }
    if (auto error = m_writer->WriteFrame(FrameBytes(frame), kind.isKey, frame.GetTime()))
        m_report.error = *error;
}

bool StreamRecorder::OpenFile(talvex::ipcapture::IVideoFrame& frame, VideoCodec codec) {
    std::optional<std::vector<uint8_t>> extradata = TrackExtradata(codec, FrameBytes(frame));
    if (!extradata)
        return false;
    VideoTrackFormat format{codec, frame.GetWidth(), frame.GetHeight(), std::move(*extradata)};
    std::string error;
    m_writer = MatroskaWriter::Create(m_report.path, format, error);
    if (!m_writer)
        m_report.error = error;
    return m_writer != nullptr;
}

void StreamRecorder::ExpectAudio() {
    std::lock_guard lock(m_mutex);
    m_audioPlan = AudioPlan::Waiting;
    m_report.audioExpected = true;
}

void StreamRecorder::Hold(talvex::ipcapture::IVideoFrame& frame, const FrameKind& kind) {
    if (m_held.empty()) {
        std::optional<std::vector<uint8_t>> extradata;
        if (kind.isKey)
            extradata = TrackExtradata(kind.codec, FrameBytes(frame));
        if (!extradata) {
            ++m_report.framesSkipped;
            return;
        }
        m_heldFormat = VideoTrackFormat{kind.codec, frame.GetWidth(), frame.GetHeight(), std::move(*extradata)};
    }
    const std::span<const uint8_t> bytes = FrameBytes(frame);
    m_held.push_back({std::vector<uint8_t>(bytes.begin(), bytes.end()), kind.isKey, frame.GetTime()});
    constexpr uint64_t kFileTimeUnitsPerMillisecond = 10000;
    const uint64_t heldSpan = m_held.back().time - std::min(m_held.back().time, m_held.front().time);
    if (m_audioFormat) {
        m_audioPlan = AudioPlan::Writing;
        OpenWithHeldFrames(m_audioFormat, m_held.front().time);
    } else if (m_held.size() >= kMaxHeldFrames || heldSpan >= uint64_t(kMaxAudioWait.count()) * kFileTimeUnitsPerMillisecond) {
        m_audioPlan = AudioPlan::Missing;
        OpenWithHeldFrames(std::nullopt, m_held.front().time);
    }
}

bool StreamRecorder::OpenWithHeldFrames(const std::optional<AudioTrackFormat>& audio, uint64_t origin) {
    std::string error;
    m_writer = MatroskaWriter::Create(m_report.path, *m_heldFormat, error, audio);
    std::vector<HeldFrame> held;
    held.swap(m_held);
    if (!m_writer) {
        m_report.error = error;
        return false;
    }
    m_writer->SetOrigin(origin);
    for (const HeldFrame& frame : held)
        if (auto failure = m_writer->WriteFrame(frame.bytes, frame.isKey, frame.time)) {
            m_report.error = *failure;
            return false;
        }
    return true;
}

bool StreamRecorder::AddAudio(const AudioTrackFormat& format, std::span<const uint8_t> data, uint64_t startTime) {
    std::lock_guard lock(m_mutex);
    if (m_finished || !m_report.error.empty())
        return false;
    if (format.codec == AudioCodec::Aac) {
        // Matroska wants AAC's configuration, which the frames do not carry: the video goes on alone.
        if (m_audioPlan == AudioPlan::Waiting) {
            m_audioPlan = AudioPlan::Missing;
            if (!m_held.empty())
                OpenWithHeldFrames(std::nullopt, m_held.front().time);
        }
        return false;
    }
    if (m_audioPlan == AudioPlan::Waiting) {
        m_audioFormat = format;
        if (m_held.empty())
            return false; // no key frame yet: the file starts with the next one
        m_audioPlan = AudioPlan::Writing;
        if (!OpenWithHeldFrames(format, std::min(m_held.front().time, startTime)))
            return false;
    }
    if (m_audioPlan != AudioPlan::Writing || m_audioFormat->codec != format.codec ||
        m_audioFormat->bitRate != format.bitRate)
        return false;
    if (auto error = m_writer->WriteAudio(data, startTime)) {
        m_report.error = *error;
        return false;
    }
    return true;
}

void StreamRecorder::OnStateChanged(uint32_t) {}

void StreamRecorder::OnSignalLost() {
    std::lock_guard lock(m_mutex);
    if (m_motion && m_lastArrival && std::chrono::steady_clock::now() - *m_lastArrival < kVideoLossSilence) {
        m_motion->OnChannelLoss();
        return;
    }
    m_report.statistics.AddSignalLoss();
    if (m_events)
        m_events->Record(m_eventSource, "signal-lost");
}

std::optional<std::string> StreamRecorder::Finish() {
    std::lock_guard lock(m_mutex);
    m_finished = true;
    if (m_edge)
        m_edge->Finish();
    if (!m_writer && !m_held.empty() && m_report.error.empty())
        OpenWithHeldFrames(std::nullopt, m_held.front().time); // the audio never came
    if (!m_writer)
        return std::nullopt;
    std::optional<std::string> error = m_writer->Finish();
    if (error && m_report.error.empty())
        m_report.error = *error;
    return error;
}

StreamReport StreamRecorder::Report() const {
    std::lock_guard lock(m_mutex);
    StreamReport report = m_report;
    if (m_writer) {
        report.framesWritten = m_writer->FramesWritten();
        report.audioFramesWritten = m_writer->AudioFramesWritten();
    }
    if (m_edge)
        report.edgeFills = m_edge->Reports();
    if (m_motion) {
        report.motion = true;
        report.motionChanges = m_motion->Changes();
        report.motionOnsets = m_motion->Onsets();
        report.motionChannelLosses = m_motion->ChannelLosses();
    }
    return report;
}


std::string FormatStreamSummary(const StreamReport& report) {
    const StreamStatistics& statistics = report.statistics;
    std::string codec = report.codec ? std::string(VideoCodecName(*report.codec)) : "no frames";
    std::string target = report.path.empty() ? "discarded" : report.path;
    if (!report.path.empty() && report.framesWritten == 0)
        target += " (not written)";
    char rates[96];
    std::snprintf(rates, sizeof(rates), "%.2f frames/s, %.1f kbit/s", statistics.FramesPerSecond(),
                  statistics.BitsPerSecond() / 1000);
    std::string text = "stream " + report.name + ": " + codec + " -> " + target + "\n";
    text += "  frames " + std::to_string(statistics.Frames()) + " (key frames " +
            std::to_string(statistics.KeyFrames()) + "), " + rates + ", signal losses " +
            std::to_string(statistics.SignalLosses()) + "\n";
    text += "  first frame " + FormatFileTime(statistics.FirstTime()) + ", last frame " +
            FormatFileTime(statistics.LastTime()) + "\n";
    if (!report.path.empty())
        text += "  written " + std::to_string(report.framesWritten) + ", skipped before the first key frame " +
                std::to_string(report.framesSkipped) + ", refused " + std::to_string(report.framesRefused) + "\n";
    else if (report.framesRefused > 0)
        text += "  refused " + std::to_string(report.framesRefused) + "\n";
    if (report.motion)
        text += "  motion changes " + std::to_string(report.motionChanges) + " (to motion " +
                std::to_string(report.motionOnsets) + "), motion channel losses " +
                std::to_string(report.motionChannelLosses) + "\n";
    for (const EdgeFillReport& fill : report.edgeFills) {
        text += "  edge fill " + FormatFileTime(fill.firstTime) + " to " + FormatFileTime(fill.lastTime) + ", frames " +
                std::to_string(fill.frames);
        text += fill.path.empty() ? "\n" : " -> " + fill.path + "\n";
        if (!fill.error.empty())
            text += "  edge fill error: " + fill.error + "\n";
    }
    if (!report.error.empty())
        text += "  error: " + report.error + "\n";
    if (statistics.Frames() == 0 && !report.lastStartFailure.empty())
        text += "  no frames: " + report.lastStartFailure + "\n";
    return text;
}

} // namespace fennwick_host

#include "EdgeFillRecorder.h"

namespace fennwick_host {

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr uint64_t kFileTimeUnitsPerMs = 10000;

} // namespace

int64_t FileTimeToUnixMs(uint64_t fileTime) {
    return (int64_t(fileTime) - int64_t(kUnixEpochAsFileTime)) / int64_t(kFileTimeUnitsPerMs);
}

EdgeFillRecorder::EdgeFillRecorder(std::string pathPrefix) : m_pathPrefix(std::move(pathPrefix)) {}

void EdgeFillRecorder::ReportEventsTo(StreamEventLog& events, std::string source) {
    m_events = &events;
    m_source = std::move(source);
}

void EdgeFillRecorder::OnFrame(const Frame& frame, Clock::time_point arrival) {
    Tick(arrival);
    Fill* current = m_fills.empty() || m_fills.back().report.finished ? nullptr : &m_fills.back();
    const uint64_t split = uint64_t(kIntervalSplit.count()) * kFileTimeUnitsPerMs;
    if (current && current->report.frames > 0 && frame.fileTime > current->report.lastTime + split) {
        FinishCurrent();
        current = nullptr;
    }
    if (!current)
        current = &m_fills.emplace_back();
    current->lastArrival = arrival;
    Write(*current, frame);
}

void EdgeFillRecorder::Write(Fill& fill, const Frame& frame) {
    EdgeFillReport& report = fill.report;
    // A frame not after the one before cannot join the interval's time line.
    const bool inOrder = report.frames == 0 || frame.fileTime > report.lastTime;
    const bool startsFile = fill.writer || m_pathPrefix.empty() || (frame.kind.isKey && Open(fill, frame));
    if (!inOrder || !startsFile || !report.error.empty()) {
        ++report.framesSkipped;
        return;
    }
    if (fill.writer)
        if (auto error = fill.writer->WriteFrame(frame.bytes, frame.kind.isKey, frame.fileTime))
            report.error = *error;
    if (report.frames == 0)
        report.firstTime = frame.fileTime;
    report.lastTime = frame.fileTime;
    ++report.frames;
}

bool EdgeFillRecorder::Open(Fill& fill, const Frame& frame) {
    std::optional<std::vector<uint8_t>> extradata = TrackExtradata(frame.kind.codec, frame.bytes);
    if (!extradata)
        return false;
    fill.report.path = m_pathPrefix + std::to_string(FileTimeToUnixMs(frame.fileTime)) + ".mkv";
    VideoTrackFormat format{frame.kind.codec, frame.width, frame.height, std::move(*extradata)};
    fill.writer = MatroskaWriter::Create(fill.report.path, format, fill.report.error);
    return fill.writer != nullptr;
}

void EdgeFillRecorder::Tick(Clock::time_point now) {
    if (!m_fills.empty() && !m_fills.back().report.finished && now - m_fills.back().lastArrival >= kIdleEnd)
        FinishCurrent();
}

void EdgeFillRecorder::Finish() {
    if (!m_fills.empty() && !m_fills.back().report.finished)
        FinishCurrent();
}

void EdgeFillRecorder::FinishCurrent() {
    Fill& fill = m_fills.back();
    fill.report.finished = true;
    if (fill.writer)
        if (auto error = fill.writer->Finish(); error && fill.report.error.empty())
            fill.report.error = *error;
    fill.writer.reset(); // a long recording may fill many intervals: only their reports stay
    if (m_events && fill.report.frames > 0)
        m_events->Record(m_source, "edge-filled " + std::to_string(FileTimeToUnixMs(fill.report.firstTime)) + " " +
                                       std::to_string(FileTimeToUnixMs(fill.report.lastTime)) + " " +
                                       std::to_string(fill.report.frames));
}

std::vector<EdgeFillReport> EdgeFillRecorder::Reports() const {
    std::vector<EdgeFillReport> reports;
    for (const Fill& fill : m_fills)
        reports.push_back(fill.report);
    return reports;
}

} // namespace fennwick_host

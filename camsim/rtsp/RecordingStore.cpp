#include "RecordingStore.h"

#include <algorithm>
#include <cstdio>

namespace camsim {

void RecordingStore::Add(const std::shared_ptr<const Clip>& clip, size_t frameIndex, int64_t timeMs) {
    if (!clip || clip->frames.empty())
        return;
    // The clip stays alive as long as any of its frames is kept.
    std::shared_ptr<const ClipFrame> frame(clip, &clip->frames[frameIndex % clip->frames.size()]);
    std::lock_guard lock(m_mutex);
    const Recording* current = m_open && !m_recordings.empty() ? &m_recordings.back() : nullptr;
    const bool startNew = !current || current->clip != clip || current->frames.back().timeMs >= timeMs ||
                          timeMs - current->frames.front().timeMs >= m_recordingMs;
    if (startNew) {
        char name[32];
        std::snprintf(name, sizeof name, "rec-1-%06u", m_nextNumber++);
        m_recordings.push_back({name, clip, {}});
        m_open = true;
    }
    m_recordings.back().frames.push_back({timeMs, std::move(frame)});
    ++m_frames;
    DropOldest();
}

void RecordingStore::DropOldest() {
    while (!m_recordings.empty()) {
        Recording& oldest = m_recordings.front();
        const int64_t newest = m_recordings.back().frames.back().timeMs;
        if (m_frames <= MAX_RECORDED_FRAMES && newest - oldest.frames.front().timeMs <= MAX_RECORDED_MS)
            return;
        oldest.frames.pop_front();
        --m_frames;
        if (oldest.frames.empty())
            m_recordings.pop_front();
    }
}

void RecordingStore::Interrupt() {
    std::lock_guard lock(m_mutex);
    m_open = false;
}

std::vector<RecordingEntry> RecordingStore::Recordings() const {
    std::lock_guard lock(m_mutex);
    std::vector<RecordingEntry> entries;
    for (const Recording& recording : m_recordings)
        entries.push_back({recording.name, recording.frames.front().timeMs, recording.frames.back().timeMs});
    return entries;
}

std::vector<RecordingEntry> RecordingStore::Search(int64_t fromMs, int64_t toMs) const {
    std::vector<RecordingEntry> found;
    for (RecordingEntry& entry : Recordings())
        if (entry.startMs < toMs && entry.endMs > fromMs)
            found.push_back(std::move(entry));
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.startMs < b.startMs; });
    return found;
}

const RecordingStore::Recording* RecordingStore::Find(const std::string& name) const {
    for (const Recording& recording : m_recordings)
        if (recording.name == name)
            return &recording;
    return nullptr;
}

std::shared_ptr<const Clip> RecordingStore::ClipOf(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    const Recording* recording = Find(name);
    return recording ? recording->clip : nullptr;
}

std::optional<RecordedFrame> RecordingStore::FrameFrom(const std::string& name, int64_t timeMs, bool after) const {
    std::lock_guard lock(m_mutex);
    const Recording* recording = Find(name);
    if (!recording)
        return std::nullopt;
    const auto& frames = recording->frames;
    const auto found = after ? std::upper_bound(frames.begin(), frames.end(), timeMs,
                                                [](int64_t time, const RecordedFrame& frame) { return time < frame.timeMs; })
                             : std::lower_bound(frames.begin(), frames.end(), timeMs,
                                                [](const RecordedFrame& frame, int64_t time) { return frame.timeMs < time; });
    if (found == frames.end())
        return std::nullopt;
    return *found;
}

bool RecordingStore::IsOpen(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    return m_open && !m_recordings.empty() && m_recordings.back().name == name;
}

std::vector<int64_t> RecordingStore::FrameTimes() const {
    std::lock_guard lock(m_mutex);
    std::vector<int64_t> times;
    times.reserve(m_frames);
    for (const Recording& recording : m_recordings)
        for (const RecordedFrame& frame : recording.frames)
            times.push_back(frame.timeMs);
    return times;
}

} // namespace camsim

#include "AudioRecorder.h"

#include <cstdio>
#include <exception>

namespace fennwick_host {
namespace {

constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;
// 100-ns units from 1601-01-01 (file time) to 1970-01-01 (Unix time).
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ull;

uint64_t FileTimeNow() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochFileTime + uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count()) * 10;
}

} // namespace

AudioRecorder::AudioRecorder(StreamRecorder* file) : m_file(file) {}

uint64_t AudioRecorder::Duration(AudioCodec codec, uint32_t bitRate, uint32_t bytes) {
    if (codec == AudioCodec::Aac || bitRate == 0)
        return 0;
    return uint64_t(bytes) * 8 * kFileTimeUnitsPerSecond / bitRate;
}

void AudioRecorder::CountGap(std::chrono::steady_clock::time_point now, uint64_t duration) {
    if (m_expectedNext && now > *m_expectedNext + kGapTolerance)
        ++m_report.gaps;
    m_expectedNext = now + std::chrono::microseconds(duration / 10);
}

bool AudioRecorder::OnAudioFrame(talvex::ipcapture::IAudioFrame* frame) {
    if (!frame)
        return false;
    try {
        const uint64_t arrival = FileTimeNow();
        const std::optional<AudioCodec> codec = ClassifyAudioCodec(frame->GetCodec());
        const uint32_t size = frame->GetDataSize();
        std::lock_guard lock(m_mutex);
        if (!codec || size == 0 || !frame->GetData()) {
            ++m_report.framesRefused;
            return false;
        }
        if (!m_report.codec) {
            m_report.codec = codec;
            m_report.bitRate = frame->GetBitRate();
        }
        ++m_report.frames;
        m_report.bytes += size;
        const uint64_t duration = Duration(*codec, frame->GetBitRate(), size);
        CountGap(std::chrono::steady_clock::now(), duration);
        // The file's lock is taken inside ours; the file never calls back.
        const AudioTrackFormat format{*codec, frame->GetBitRate()};
        if (m_file && m_file->AddAudio(format, {frame->GetData(), size}, arrival - std::min(arrival, duration)))
            ++m_report.framesWritten;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void AudioRecorder::OnStatusChanged(uint32_t, uint32_t status) {
    std::lock_guard lock(m_mutex);
    if (status == talvex::ipcapture::ChannelSignalLost && m_report.status != status)
        ++m_report.signalLosses;
    m_report.status = status;
}

AudioReport AudioRecorder::Report() const {
    std::lock_guard lock(m_mutex);
    return m_report;
}

std::string_view AudioStatusName(uint32_t status) {
    static constexpr std::string_view kNames[] = {"stopped", "starting", "running", "stopping", "failed", "signal lost"};
    return status < std::size(kNames) ? kNames[status] : "unknown";
}

std::string FormatAudioSummary(const AudioReport& report, const std::string& path) {
    char rate[32] = "";
    if (report.codec)
        std::snprintf(rate, sizeof rate, " %.1f kbit/s", report.bitRate / 1000.0);
    std::string text = "audio: " + (report.codec ? std::string(AudioCodecName(*report.codec)) + rate : "no frames") +
                       " -> " + (path.empty() ? "discarded" : path) + "\n";
    text += "  frames " + std::to_string(report.frames) + " (" + std::to_string(report.bytes) + " bytes), written " +
            std::to_string(report.framesWritten) + ", refused " + std::to_string(report.framesRefused) + ", gaps " +
            std::to_string(report.gaps) + ", signal losses " + std::to_string(report.signalLosses) + ", status " +
            std::to_string(report.status) + " (" + std::string(AudioStatusName(report.status)) + ")\n";
    return text;
}

} // namespace fennwick_host

#include "SpeakSession.h"

#include "AudioFormatOffer.h"
#include "AudioRecorder.h"
#include "AudioTranscoding.h"

#include <cerrno>
#include <exception>
#include <thread>

namespace fennwick_host {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDrainPoll = std::chrono::milliseconds(20);
constexpr uint32_t kBitsPerSample = 16;

} // namespace

SpeakSession::SpeakSession(talvex::ipcapture::IIPAudioSender& sender, FrameAllocator& allocator,
                           const sigset_t& stopSignals)
    : m_sender(sender), m_allocator(allocator), m_stopSignals(stopSignals) {}

void SpeakSession::OnStatusChanged(uint32_t, uint32_t status) {
    {
        std::lock_guard lock(m_mutex);
        m_status = status;
    }
    m_statusChanged.notify_all();
}

uint32_t SpeakSession::WaitUntilStarted() {
    std::unique_lock lock(m_mutex);
    m_statusChanged.wait_for(lock, kStartTimeout, [this] {
        return m_status == talvex::ipcapture::ChannelRunning || m_status == talvex::ipcapture::ChannelFailed;
    });
    return m_status;
}

bool SpeakSession::SleepUntil(Clock::time_point deadline) const {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec wait{time_t(nanoseconds / 1000000000), long(nanoseconds % 1000000000)};
        if (sigtimedwait(&m_stopSignals, nullptr, &wait) > 0)
            return false;
        if (errno != EAGAIN && errno != EINTR)
            return true;
    }
}

bool SpeakSession::SendFrame(std::span<const uint8_t> bytes, const talvex::ipcapture::IAudioFormat& format) {
    talvex::ipcapture::IAudioFrame* frame = m_allocator.AllocAudio(format.GetCodec(), uint32_t(bytes.size()), "speak");
    if (!frame)
        return false;
    frame->SetCodec(format.GetCodec());
    frame->SetData(bytes.data(), uint32_t(bytes.size()));
    frame->SetFormat(format.GetSamplesPerSecond(), kBitsPerSample, format.IsStereo());
    frame->SetBitRate(format.GetBitRate());
    frame->SetChannelNumber(uint8_t(kChannelId));
    frame->Finish();
    // An accepted frame comes back through the allocator; a refused one stays ours.
    if (m_sender.SendAudio(frame))
        return true;
    m_allocator.ReleaseAudio(frame);
    return false;
}

void SpeakSession::SendPaced(const std::vector<uint8_t>& encoded, const talvex::ipcapture::IAudioFormat& format,
                             SpeakResult& result) {
    const size_t frameBytes = std::max<size_t>(1, size_t(format.GetBitRate() / 8 * kFrameInterval.count() / 1000));
    const auto start = Clock::now();
    size_t index = 0;
    for (size_t offset = 0; offset < encoded.size(); offset += frameBytes, ++index) {
        if (!SleepUntil(start + kFrameInterval * index)) {
            result.interrupted = true;
            return;
        }
        const std::span<const uint8_t> bytes(encoded.data() + offset, std::min(frameBytes, encoded.size() - offset));
        if (SendFrame(bytes, format)) {
            ++result.framesSent;
            result.bytesSent += bytes.size();
        } else {
            ++result.framesRefused;
        }
    }
}

void SpeakSession::WaitForDrain() const {
    const auto deadline = Clock::now() + kDrainTimeout;
    while (m_allocator.OutstandingFrames() > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(kDrainPoll);
}

SpeakResult SpeakSession::Run(const std::vector<int16_t>& samples, AudioCodec offered) {
    SpeakResult result;
    AudioFormatOffer offer(AudioCodecTag(offered));
    if (!m_sender.StartChannel(kChannelId, kChannelId, this, &offer)) {
        result.error = "the driver did not start the audio output channel";
        return result;
    }
    const uint32_t started = WaitUntilStarted();
    HostAudioFormat format;
    std::optional<AudioCodec> codec;
    if (started != talvex::ipcapture::ChannelRunning) {
        result.error = "the audio output channel did not start: status " + std::to_string(started) + " (" +
                       std::string(AudioStatusName(started)) + ")";
    } else if (!m_sender.GetAudioFormat(kChannelId, &format) || !(codec = ClassifyAudioCodec(format.GetCodec()))) {
        result.error = "the driver gave no usable format for the audio output channel";
    } else if (auto encoded = EncodeAudio(samples, *codec, format.GetBitRate(), result.error)) {
        SendPaced(*encoded, format, result);
        WaitForDrain();
        if (m_allocator.OutstandingFrames() > 0)
            result.error = std::to_string(m_allocator.OutstandingFrames()) + " frame(s) not sent within " +
                           std::to_string(kDrainTimeout.count()) + " s";
        else if (result.framesRefused > 0)
            result.error = "the driver refused " + std::to_string(result.framesRefused) + " frame(s)";
    }
    result.status = m_sender.GetChannelStatus(kChannelId);
    m_sender.StopChannel(kChannelId);
    return result;
}

std::string FormatSpeakResult(const SpeakResult& result) {
    return "speak: " + std::to_string(result.framesSent) + " frames, " + std::to_string(result.bytesSent) +
           " bytes sent, " + std::to_string(result.framesRefused) + " refused; channel status " +
           std::to_string(result.status) + " (" + std::string(AudioStatusName(result.status)) + ")" +
           (result.interrupted ? ", interrupted" : "") + "\n";
}

} // namespace fennwick_host

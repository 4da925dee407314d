// speak on an open driver: starts the audio output channel with the one
// format the host offers, learns the channel's format, encodes the samples
// in it and hands them to the driver 20 ms at a time at the real-time pace,
// then waits until the driver gave every frame back (sent), prints the bytes
// sent and the channel's status, and stops the channel.
#pragma once

#include "ElementaryStream.h"
#include "HostFrames.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fennwick_host {

struct SpeakResult {
    uint64_t framesSent = 0; // accepted by the driver
    uint64_t bytesSent = 0;
    uint64_t framesRefused = 0;
    uint32_t status = talvex::ipcapture::ChannelStopped; // before the stop
    bool interrupted = false;                             // SIGINT or SIGTERM
    std::string error;                                    // why speaking failed; empty when it did not
};

class SpeakSession : public talvex::ipcapture::IAudioSenderCallback {
public:
    // The channel must start (status running) within this time.
    static constexpr std::chrono::seconds kStartTimeout{15};
    // After the last frame, the driver must have sent every frame within this time.
    static constexpr std::chrono::seconds kDrainTimeout{10};
    static constexpr std::chrono::milliseconds kFrameInterval{20};

    SpeakSession(talvex::ipcapture::IIPAudioSender& sender, FrameAllocator& allocator, const sigset_t& stopSignals);

    // Speaks samples (8 kHz mono) offering the format of offered.
    SpeakResult Run(const std::vector<int16_t>& samples, AudioCodec offered);

    void OnStatusChanged(uint32_t id, uint32_t status) override;

private:
    static constexpr uint32_t kChannelId = 0;

    // Waits for running or failed; the status it ended with.
    uint32_t WaitUntilStarted();
    // Sends the encoded bytes paced by kFrameInterval.
    void SendPaced(const std::vector<uint8_t>& encoded, const talvex::ipcapture::IAudioFormat& format,
                   SpeakResult& result);
    bool SendFrame(std::span<const uint8_t> bytes, const talvex::ipcapture::IAudioFormat& format);
    // False when a stop signal came first.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline) const;
    void WaitForDrain() const;

    talvex::ipcapture::IIPAudioSender& m_sender;
    FrameAllocator& m_allocator;
    const sigset_t& m_stopSignals;
    std::mutex m_mutex;
    std::condition_variable m_statusChanged;
    uint32_t m_status = talvex::ipcapture::ChannelStopped;
};

// The result lines of speak:
//   speak: 250 frames, 40000 bytes sent, 0 refused; channel status 2 (running)
std::string FormatSpeakResult(const SpeakResult& result);

} // namespace fennwick_host

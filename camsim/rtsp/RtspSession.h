// One RTSP session of the simulated camera: its tracks (video from a clip,
// audio from an audio clip in the camera's codec), where their packets go (UDP
// ports or interleaved channels) and the thread that paces the packets and the
// RTCP sender reports. A replay session sends a recording instead, from its
// PLAY start at the pace the frames were recorded, and says BYE after the
// recording's last frame.
#pragma once

#include "AudioClips.h"
#include "MediaClips.h"
#include "RecordingStore.h"
#include "RtpPacketisers.h"
#include "RtspServer.h"
#include "platform/CSocket.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace camsim {

// Writes one interleaved frame ('$', channel, length, data) on the RTSP connection.
using InterleavedWriter = std::function<bool(uint8_t channel, std::span<const uint8_t> data)>;

struct TrackTransport {
    bool interleaved = false;
    uint8_t rtpChannel = 0;
    uint8_t rtcpChannel = 1;
    sockaddr_in rtpTarget{};
    sockaddr_in rtcpTarget{};
};

class RtspSession {
public:
    enum class TrackKind { Video, Audio };

    RtspSession(std::string id, uint32_t streamIndex, std::shared_ptr<const Clip> clip, RtspFaults& faults,
                InterleavedWriter writer, uint32_t timeoutSeconds, std::function<uint32_t()> random);
    ~RtspSession();

    const std::string& Id() const { return m_id; }
    // Set before the first PLAY.
    void SetQuirks(const RtspQuirks& quirks) { m_quirks = quirks; }
    // Clip frames are made at clipFrameRate; below it, frames are dropped to send frameRate.
    void SetFrameRates(uint32_t clipFrameRate, uint32_t frameRate) {
        m_clipFrameRate = std::max(clipFrameRate, 1u);
        m_frameRate = std::clamp(frameRate, 1u, m_clipFrameRate);
    }
    uint32_t StreamIndex() const { return m_streamIndex; }
    // Set before the first PLAY: the session replays this recording of the store.
    void SetReplay(std::shared_ptr<const RecordingStore> store, std::string recording) {
        m_store = std::move(store);
        m_recording = std::move(recording);
    }
    bool IsReplay() const { return m_store != nullptr; }
    const std::string& Recording() const { return m_recording; }
    // Set before the first PLAY: the replay starts at the recording's first frame at or after this camera time.
    void SetReplayStart(int64_t unixMs) { m_replayStartMs = unixMs; }
    // Fault, set before the first PLAY: after this much of its replay the session calls cut (which drops its connection).
    void CutReplayAfter(std::chrono::milliseconds after, std::function<void()> cut) {
        m_cutAfter = after;
        m_cut = std::move(cut);
    }
    // The microphone's signal; set before the audio track is set up.
    void SetAudioClip(std::shared_ptr<const AudioClip> clip) { m_audioClip = std::move(clip); }
    // Adds (or replaces) a track; for UDP binds the server's port pair on bindAddress.
    bool SetUpTrack(TrackKind kind, const TrackTransport& transport, const std::string& bindAddress,
                    uint16_t& serverRtpPort, uint16_t& serverRtcpPort, uint32_t& ssrc);
    // "url=...;seq=...;rtptime=..." items for PLAY's RTP-Info header.
    std::string RtpInfo(const std::string& baseUrl) const;
    void Play();
    void Pause() { m_paused = true; }
    void Touch();
    bool IsExpired() const;
    bool IsPlaying() const { return m_started && !m_ended; }
    // Sends a BYE on every track and stops sending media.
    void SayBye();
    // The next H.264 key frame is grown to at least this many bytes.
    void GrowNextKeyFrame(uint32_t bytes) { m_growNextKeyFrameTo = bytes; }
    // Ends the sender thread; with bye, tells the client first.
    void End(bool bye);

private:
    struct Track;
    void Run();
    void RunReplay();
    // Paused, told BYE or silenced by a fault: nothing goes out.
    bool Silent() const;
    Track* VideoTrack();
    void SendVideoFrame(Track& track, size_t frameIndex);
    void SendClipFrame(Track& track, const ClipFrame& frame);
    std::vector<RtpPayload> PacketiseH264WithQuirks(const ClipFrame& frame, uint32_t keyFrameBytes) const;
    // Sends (unless muted) the next piece of audio; its duration in clock ticks.
    uint32_t SendAudioPacket(Track& track, bool send);
    void SendPacket(Track& track, const RtpHeader& header, std::span<const uint8_t> payload);
    void SendRtcp(Track& track, std::span<const uint8_t> packet);
    void SendSenderReports();
    void DrainReceiverReports();

    std::string m_id;
    uint32_t m_streamIndex;
    std::shared_ptr<const Clip> m_clip;
    std::shared_ptr<const AudioClip> m_audioClip;
    RtspFaults& m_faults;
    RtspQuirks m_quirks;
    uint32_t m_clipFrameRate = Clip::FRAME_RATE;
    uint32_t m_frameRate = Clip::FRAME_RATE;
    InterleavedWriter m_writer;
    std::chrono::seconds m_timeout;
    std::function<uint32_t()> m_random;
    std::shared_ptr<const RecordingStore> m_store; // replay sessions only
    std::string m_recording;
    int64_t m_replayStartMs = 0;
    std::chrono::milliseconds m_cutAfter{0};
    std::function<void()> m_cut;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::unique_ptr<Track>> m_tracks;
    std::atomic<int64_t> m_lastActivityMs{0};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_byeSent{false};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_started{false};
    std::atomic<uint32_t> m_growNextKeyFrameTo{0}; // 0: no grown key frame pending
    std::thread m_thread; // started by Play on the connection's thread, joined by End
};

} // namespace camsim

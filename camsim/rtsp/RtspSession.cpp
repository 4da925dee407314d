#include "RtspSession.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include "OutageFault.h"

#include <algorithm>

namespace camsim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint8_t PAYLOAD_TYPE_DYNAMIC = 96;
constexpr uint8_t PAYLOAD_TYPE_JPEG = 26;
constexpr uint32_t VIDEO_CLOCK_RATE = 90000;
// How often a session without an audio track looks again whether it has one.
constexpr auto NO_AUDIO_RECHECK = std::chrono::milliseconds(20);
constexpr auto REPORT_INTERVAL = std::chrono::seconds(1);
constexpr auto FIRST_REPORT_DELAY = std::chrono::milliseconds(200);
// Seconds between 1900 (NTP) and 1970 (Unix).
constexpr uint64_t NTP_UNIX_OFFSET = 2208988800ull;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

uint64_t NtpOfMicros(int64_t micros) {
    const uint64_t seconds = uint64_t(micros / 1000000) + NTP_UNIX_OFFSET;
    const uint64_t fraction = (uint64_t(micros % 1000000) << 32) / 1000000;
    return (seconds << 32) | fraction;
}

uint64_t NtpNow() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return NtpOfMicros(std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count());
}

// A replay waits this long for the next frame of a recording still being made.
constexpr auto REPLAY_POLL_INTERVAL = std::chrono::milliseconds(20);

} // namespace

struct RtspSession::Track {
    TrackKind kind = TrackKind::Video;
    TrackTransport transport;
    talvex::CSocket rtpSocket;
    talvex::CSocket rtcpSocket;
    uint8_t payloadType = PAYLOAD_TYPE_DYNAMIC;
    uint32_t ssrc = 0;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t packets = 0;
    uint32_t octets = 0;
    uint32_t packetCounter = 0; // for the loss fault
    std::optional<AudioPieces> audio;
    uint32_t clockRate = VIDEO_CLOCK_RATE;
};

RtspSession::RtspSession(std::string id, uint32_t streamIndex, std::shared_ptr<const Clip> clip, RtspFaults& faults,
                         InterleavedWriter writer, uint32_t timeoutSeconds, std::function<uint32_t()> random)
    : m_id(std::move(id)), m_streamIndex(streamIndex), m_clip(std::move(clip)), m_faults(faults),
      m_writer(std::move(writer)), m_timeout(timeoutSeconds), m_random(std::move(random)) {
    Touch();
}

RtspSession::~RtspSession() {
    End(false);
}

void RtspSession::Touch() {
    m_lastActivityMs = NowMs();
}

bool RtspSession::IsExpired() const {
    return NowMs() - m_lastActivityMs.load() > std::chrono::duration_cast<std::chrono::milliseconds>(m_timeout).count();
}

bool RtspSession::SetUpTrack(TrackKind kind, const TrackTransport& transport, const std::string& bindAddress,
                             uint16_t& serverRtpPort, uint16_t& serverRtcpPort, uint32_t& ssrc) {
    auto track = std::make_unique<Track>();
    track->kind = kind;
    track->transport = transport;
    if (kind == TrackKind::Audio) {
        if (!m_audioClip)
            return false;
        const AudioRtpFormat format = DescribeAudioTrack(*m_audioClip);
        track->payloadType = format.payloadType;
        track->clockRate = format.clockRate;
        track->audio.emplace(m_audioClip);
    } else {
        track->payloadType = m_clip && m_clip->codec == VideoCodec::Jpeg ? PAYLOAD_TYPE_JPEG : PAYLOAD_TYPE_DYNAMIC;
    }
    track->ssrc = m_random();
    track->sequence = uint16_t(m_random());
    track->timestamp = m_random();
    if (!transport.interleaved) {
        in_addr address{};
        if (!talvex::ParseIPv4(bindAddress, address) || !track->rtpSocket.CreateUdp() ||
            !track->rtpSocket.Bind(address.s_addr, 0) || !track->rtcpSocket.CreateUdp() ||
            !track->rtcpSocket.Bind(address.s_addr, 0))
            return false;
        serverRtpPort = track->rtpSocket.GetLocalPort();
        serverRtcpPort = track->rtcpSocket.GetLocalPort();
    }
    ssrc = track->ssrc;
    std::lock_guard lock(m_mutex);
    std::erase_if(m_tracks, [&](const auto& existing) { return existing->kind == kind; });
    m_tracks.push_back(std::move(track));
    return true;
}

std::string RtspSession::RtpInfo(const std::string& baseUrl) const {
    std::lock_guard lock(m_mutex);
    std::string info;
    for (const auto& track : m_tracks) {
        if (!info.empty())
            info += ",";
        info += "url=" + baseUrl + (track->kind == TrackKind::Video ? "trackID=1" : "trackID=2") +
                ";seq=" + std::to_string(track->sequence) + ";rtptime=" + std::to_string(track->timestamp);
    }
    return info;
}

void RtspSession::Play() {
    m_paused = false;
    Touch();
    if (!m_started.exchange(true) && !m_ended)
        m_thread = std::thread([this] { Run(); });
}

void RtspSession::SayBye() {
    std::lock_guard lock(m_mutex);
    if (m_byeSent.exchange(true))
        return;
    for (auto& track : m_tracks)
        SendRtcp(*track, BuildRtcpBye(track->ssrc));
}

void RtspSession::End(bool bye) {
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    if (bye)
        SayBye();
}

void RtspSession::SendRtcp(Track& track, std::span<const uint8_t> packet) {
    if (track.transport.interleaved)
        m_writer(track.transport.rtcpChannel, packet);
    else
        track.rtcpSocket.SendTo(packet, track.transport.rtcpTarget);
}

void RtspSession::SendPacket(Track& track, const RtpHeader& header, std::span<const uint8_t> payload) {
    const Bytes packet = BuildRtpPacket(header, payload);
    ++track.packets;
    track.octets += uint32_t(payload.size());
    const uint32_t loseEveryNth = m_faults.loseEveryNth;
    if (loseEveryNth != 0 && ++track.packetCounter % loseEveryNth == 0)
        return;
    const bool sent = track.transport.interleaved ? m_writer(track.transport.rtpChannel, packet)
                                                  : track.rtpSocket.SendTo(packet, track.transport.rtpTarget);
    if (!sent && track.transport.interleaved)
        m_ended = true; // the connection is gone
}

void RtspSession::SendVideoFrame(Track& track, size_t frameIndex) {
    if (!m_clip || m_clip->frames.empty())
        return;
    if (m_quirks.restartSequenceEvery != 0 && frameIndex != 0 && frameIndex % m_quirks.restartSequenceEvery == 0)
        track.sequence = 0;
    SendClipFrame(track, m_clip->frames[frameIndex % m_clip->frames.size()]);
}

void RtspSession::SendClipFrame(Track& track, const ClipFrame& frame) {
    std::vector<RtpPayload> payloads;
    switch (m_clip->codec) {
    case VideoCodec::H264: {
        const uint32_t grownTo = frame.key ? m_growNextKeyFrameTo.exchange(0) : 0;
        payloads = PacketiseH264WithQuirks(frame, std::max(m_quirks.keyFrameBytes, grownTo));
        break;
    }
    case VideoCodec::Mpeg4:
        payloads = PacketiseMpeg4(frame, m_clip->configuration);
        break;
    case VideoCodec::Jpeg:
        payloads = PacketiseJpeg(frame.units.front());
        break;
    }
    std::vector<std::pair<RtpHeader, const RtpPayload*>> packets;
    for (const RtpPayload& payload : payloads) {
        RtpHeader header{track.payloadType, payload.marker, track.sequence++, track.timestamp, track.ssrc};
        packets.emplace_back(header, &payload);
    }
    if (m_faults.reorder)
        for (size_t i = 0; i + 1 < packets.size(); i += 2)
            std::swap(packets[i], packets[i + 1]);
    for (const auto& [header, payload] : packets)
        SendPacket(track, header, payload->bytes);
}

std::vector<RtpPayload> RtspSession::PacketiseH264WithQuirks(const ClipFrame& frame, uint32_t keyFrameBytes) const {
    if (keyFrameBytes == 0 && !m_quirks.seiWithMarker)
        return PacketiseH264(frame);
    ClipFrame grown = frame;
    if (frame.key && !grown.units.empty()) {
        // cabac_zero_words (00 00 03) after the last slice: a larger frame that still decodes.
        static constexpr uint8_t CABAC_ZERO_WORD[] = {0x00, 0x00, 0x03};
        size_t size = 0;
        for (const Bytes& unit : grown.units)
            size += unit.size();
        Bytes& slice = grown.units.back();
        if (size < keyFrameBytes) {
            const size_t words = (keyFrameBytes - size + sizeof CABAC_ZERO_WORD - 1) / sizeof CABAC_ZERO_WORD;
            slice.reserve(slice.size() + words * sizeof CABAC_ZERO_WORD);
            for (size_t i = 0; i < words; ++i)
                slice.insert(slice.end(), std::begin(CABAC_ZERO_WORD), std::end(CABAC_ZERO_WORD));
        }
    }
    std::vector<RtpPayload> payloads = PacketiseH264(grown);
    if (m_quirks.seiWithMarker) {
        // An SEI (user data unregistered, 16-byte UUID, one data byte) with the
        // marker bit, in front of the first packet that carries a slice.
        static const Bytes sei = {0x06, 0x05, 0x11, 0x66, 0x65, 0x6E, 0x6E, 0x77, 0x69, 0x63, 0x6B, 0x2D,
                                  0x63, 0x61, 0x6D, 0x73, 0x69, 0x6D, 0x21, 0x01, 0x80};
        const auto firstSlice = std::find_if(payloads.begin(), payloads.end(), [](const RtpPayload& payload) {
            const uint8_t type = payload.bytes[0] & 0x1F;
            const uint8_t carried = type == 28 && payload.bytes.size() > 1 ? payload.bytes[1] & 0x1F : type;
            return carried >= 1 && carried <= 5;
        });
        payloads.insert(firstSlice, RtpPayload{sei, true});
    }
    return payloads;
}

uint32_t RtspSession::SendAudioPacket(Track& track, bool send) {
    const AudioPiece piece = track.audio->Next();
    if (send) {
        // AAC goes one access unit per packet with its AU header (RFC 3640 3.2.1); the marker ends each unit.
        const bool aac = track.audio->Clip().choice.codec == AudioCodec::Aac;
        const Bytes payload = aac ? FrameAacUnit(piece.bytes) : piece.bytes;
        SendPacket(track, RtpHeader{track.payloadType, aac, track.sequence++, track.timestamp, track.ssrc}, payload);
    }
    return piece.samples;
}

void RtspSession::SendSenderReports() {
    const uint64_t ntp = NtpNow();
    for (auto& track : m_tracks)
        SendRtcp(*track, BuildSenderReport(track->ssrc, ntp, track->timestamp, track->packets, track->octets));
}

void RtspSession::DrainReceiverReports() {
    std::vector<uint8_t> scratch(1500);
    for (auto& track : m_tracks) {
        size_t received = 0;
        while (track->rtcpSocket.IsOpen() &&
               track->rtcpSocket.ReceiveNow(scratch, received) == talvex::SocketResult::Data)
            Touch(); // RTCP from the client keeps the session (RFC 2326 A.2)
    }
}

bool RtspSession::Silent() const {
    return m_paused || m_byeSent || m_faults.stopSending || (m_faults.outage && m_faults.outage->Active());
}

RtspSession::Track* RtspSession::VideoTrack() {
    for (auto& track : m_tracks)
        if (track->kind == TrackKind::Video)
            return track.get();
    return nullptr;
}

void RtspSession::Run() {
    if (m_store)
        return RunReplay();
    const auto frameInterval = std::chrono::microseconds(1000000 / m_frameRate);
    const uint32_t frameTicks = VIDEO_CLOCK_RATE / m_frameRate;
    auto nextVideo = Clock::now();
    auto nextAudio = nextVideo;
    const auto audioStart = nextVideo;
    uint64_t audioMicroseconds = 0; // sent so far, counted without rounding drift
    auto nextReport = nextVideo + FIRST_REPORT_DELAY;
    size_t frameIndex = 0;
    std::unique_lock lock(m_mutex);
    while (!m_ended) {
        m_wake.wait_until(lock, std::min({nextVideo, nextAudio, nextReport}), [&] { return m_ended.load(); });
        if (m_ended)
            break;
        if (IsExpired()) {
            m_ended = true; // no keep-alive within the session time-out
            break;
        }
        const auto now = Clock::now();
        const bool sending = !Silent();
        const bool videoDue = now >= nextVideo;
        const bool audioDue = now >= nextAudio;
        for (auto& track : m_tracks) {
            if (track->kind == TrackKind::Video && videoDue) {
                if (sending) // the clip frame due at this time; those between are dropped
                    SendVideoFrame(*track, frameIndex * m_clipFrameRate / m_frameRate);
                track->timestamp += frameTicks;
            } else if (track->kind == TrackKind::Audio && audioDue) {
                const uint32_t samples = SendAudioPacket(*track, sending);
                track->timestamp += samples;
                audioMicroseconds += uint64_t(samples) * 1000000 / track->clockRate;
            }
        }
        if (videoDue) {
            nextVideo += frameInterval;
            ++frameIndex;
        }
        if (audioDue)
            nextAudio = audioMicroseconds == 0 ? nextAudio + NO_AUDIO_RECHECK
                                               : audioStart + std::chrono::microseconds(audioMicroseconds);
        if (now >= nextReport) {
            if (sending)
                SendSenderReports();
            nextReport += REPORT_INTERVAL;
        }
        DrainReceiverReports();
    }
}

// The recording's frames from the start, each when its distance from the
// first one has passed; RTP timestamps follow the capture times, so the
// replay's first timestamp stands for the first frame's time. Silent
// stretches hold the replay where it is.
void RtspSession::RunReplay() {
    std::unique_lock lock(m_mutex);
    Track* track = VideoTrack();
    if (!track)
        return;
    const uint32_t firstTimestamp = track->timestamp;
    std::optional<RecordedFrame> next = m_store->FrameFrom(m_recording, m_replayStartMs, false);
    const auto started = Clock::now();
    auto origin = started;           // when the first frame went (or would have gone) out
    int64_t firstMs = next ? next->timeMs : m_replayStartMs;
    int64_t lastSentMs = 0;
    auto nextReport = started + FIRST_REPORT_DELAY;
    while (!m_ended) {
        const auto now = Clock::now();
        if (m_cut && now - started >= m_cutAfter) {
            m_cut(); // the connection goes; the server ends this session
            break;
        }
        if (!next) {
            if (!m_store->IsOpen(m_recording)) {
                lock.unlock();
                SayBye();
                lock.lock();
                m_ended = true;
                break;
            }
            next = m_store->FrameFrom(m_recording, lastSentMs ? lastSentMs : m_replayStartMs, lastSentMs != 0);
        }
        const auto due = next ? origin + std::chrono::milliseconds(next->timeMs - firstMs) : now + REPLAY_POLL_INTERVAL;
        m_wake.wait_until(lock, std::min({due, nextReport, now + REPLAY_POLL_INTERVAL}), [&] { return m_ended.load(); });
        if (m_ended)
            break;
        if (IsExpired()) {
            m_ended = true; // no keep-alive within the session time-out
            break;
        }
        if (next && Clock::now() >= due) {
            if (Silent()) {
                origin += Clock::now() - due; // held, not skipped
            } else {
                track->timestamp = firstTimestamp + uint32_t((next->timeMs - firstMs) * (VIDEO_CLOCK_RATE / 1000));
                SendClipFrame(*track, *next->frame);
                lastSentMs = next->timeMs;
                next = m_store->FrameFrom(m_recording, lastSentMs, true);
            }
        }
        if (Clock::now() >= nextReport) {
            if (!Silent() && lastSentMs != 0)
                SendRtcp(*track, BuildSenderReport(track->ssrc, NtpOfMicros(lastSentMs * 1000), track->timestamp,
                                                   track->packets, track->octets));
            nextReport += REPORT_INTERVAL;
        }
        DrainReceiverReports();
    }
}

} // namespace camsim

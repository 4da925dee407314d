#include "HttpAudio.h"

#include <algorithm>

namespace camsim {

namespace {

using Clock = std::chrono::steady_clock;

int64_t SteadyMs(Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

const char* ContentType(AudioCodec codec) {
    switch (codec) {
    case AudioCodec::MuLaw:
        return "audio/basic";
    case AudioCodec::ALaw:
        return "audio/x-alaw-basic";
    case AudioCodec::G726:
        return "audio/G726";
    default:
        return "audio/aac";
    }
}

} // namespace

HttpAudio::HttpAudio(Camera& camera, std::string clipsDirectory) : m_camera(camera), m_clips(std::move(clipsDirectory)) {}

HttpAudio::~HttpAudio() {
    Stop();
}

bool HttpAudio::Start(std::string&) {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    if (!m_routeAdded) {
        m_routeAdded = true;
        m_camera.Http().AddRoute("/audio", [this](HttpExchange& exchange) {
            if (exchange.Head().path != "/audio")
                return void(exchange.SendResponse(404, ""));
            Serve(exchange);
        });
    }
    return true;
}

void HttpAudio::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
}

void HttpAudio::CutStreams(uint32_t afterMs) {
    m_cutAtMs = SteadyMs(Clock::now()) + afterMs;
}

bool HttpAudio::CutDue(Clock::time_point streamStart) const {
    const int64_t cutAt = m_cutAtMs;
    return cutAt != 0 && SteadyMs(streamStart) < cutAt && SteadyMs(Clock::now()) >= cutAt;
}

bool HttpAudio::WaitUntil(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_until(lock, deadline, [&] { return m_stopping; });
    return !m_stopping;
}

void HttpAudio::Serve(HttpExchange& exchange) {
    const std::optional<std::string> name = m_camera.State().Value("AudInCodec");
    const std::optional<AudioCodecChoice> choice = name ? ParseAudioCodecName(*name) : AudioCodecChoice{};
    const std::shared_ptr<const AudioClip> clip = choice ? m_clips.Get(*choice) : nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || !clip)
            return void(exchange.SendResponse(503, ""));
    }
    if (!exchange.SendHead(200, {{"Content-Type", ContentType(clip->choice.codec)}}))
        return;
    ++m_streamStarts;
    const bool aac = clip->choice.codec == AudioCodec::Aac;
    AudioPieces pieces(clip);
    const auto start = Clock::now();
    uint64_t sentMicroseconds = 0;
    while (!exchange.Stopping() && WaitUntil(start + std::chrono::microseconds(sentMicroseconds))) {
        const AudioPiece piece = pieces.Next();
        const Bytes bytes = aac ? FrameAacUnit(piece.bytes) : piece.bytes;
        const bool cut = CutDue(start);
        const size_t count = cut ? bytes.size() / 2 : bytes.size();
        if (!exchange.SendBytes({reinterpret_cast<const char*>(bytes.data()), count}) || cut)
            return;
        sentMicroseconds += uint64_t(piece.samples) * 1000000 / clip->sampleRate;
    }
}

} // namespace camsim

#include "AudioUpload.h"

#include "AudioClips.h"

#include <algorithm>

namespace camsim {

namespace {

constexpr std::string_view PATH_PREFIX = "/audio-out/";
constexpr std::string_view PATH_SUFFIX = ".cgi";
constexpr size_t READ_BYTES = 16 * 1024;

} // namespace

AudioUpload::AudioUpload(Camera& camera, std::string outputPath)
    : m_camera(camera), m_outputPath(std::move(outputPath)) {}

bool AudioUpload::Start(std::string& error) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_outputPath.empty() && !m_output.is_open()) {
            m_output.open(m_outputPath, std::ios::binary | std::ios::app);
            if (!m_output) {
                error = "cannot open the audio output file " + m_outputPath;
                return false;
            }
        }
    }
    m_stopping = false;
    if (!m_routeAdded) {
        m_routeAdded = true;
        m_camera.Http().AddRoute(std::string(PATH_PREFIX), [this](HttpExchange& exchange) { Serve(exchange); });
        m_camera.Hooks().Add(*this);
    }
    return true;
}

void AudioUpload::Stop() {
    m_stopping = true;
    std::lock_guard lock(m_mutex);
    if (m_output.is_open())
        m_output.flush();
}

uint64_t AudioUpload::BytesReceived() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

void AudioUpload::Serve(HttpExchange& exchange) {
    const std::string& path = exchange.Head().path;
    const std::string codec = path.ends_with(PATH_SUFFIX)
                                  ? path.substr(PATH_PREFIX.size(), path.size() - PATH_PREFIX.size() - PATH_SUFFIX.size())
                                  : std::string();
    if (!ParseAudioCodecName(codec))
        return void(exchange.SendResponse(404, ""));
    if (exchange.Head().method != "POST")
        return void(exchange.SendResponse(400, ""));
    if (m_stopping)
        return void(exchange.SendResponse(503, ""));
    {
        std::lock_guard lock(m_mutex);
        m_codec = codec;
    }
    const uint64_t closeAfter = m_faults.closeAfterBytes;
    uint64_t received = 0;
    std::string piece;
    while (!m_stopping && exchange.ReadBody(piece, READ_BYTES)) {
        if (closeAfter != 0 && received + piece.size() >= closeAfter) {
            Take(codec, std::string_view(piece).substr(0, size_t(closeAfter - received)));
            return; // unanswered: the connection closes mid-body
        }
        Take(codec, piece);
        received += piece.size();
        piece.clear();
    }
    if (exchange.BodyComplete()) {
        ++m_completeUploads;
        exchange.SendResponse(200, "");
    }
}

void AudioUpload::Take(const std::string& codec, std::string_view bytes) {
    std::lock_guard lock(m_mutex);
    m_codec = codec;
    m_bytes += bytes.size();
    if (m_output.is_open()) {
        m_output.write(bytes.data(), std::streamsize(bytes.size()));
        m_output.flush(); // a reader of the file sees every byte the state counts
    }
}

void AudioUpload::AppendState(std::vector<std::string>& members) const {
    std::lock_guard lock(m_mutex);
    members.push_back("\"audio_out\": {\"codec\": \"" + m_codec + "\", \"bytes\": " + std::to_string(m_bytes) + "}");
}

std::optional<std::string> AudioUpload::CheckControl(std::string_view, std::string_view) const {
    return std::nullopt; // nothing of the loudspeaker is driven from outside
}

void AudioUpload::ApplyControl(std::string_view, std::string_view) {}

} // namespace camsim

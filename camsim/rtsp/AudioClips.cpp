#include "AudioClips.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace camsim {

namespace {

constexpr uint32_t G711_SAMPLE_RATE = 8000;
constexpr uint32_t SAMPLES_PER_PIECE = 160; // 20 ms at 8 kHz
constexpr uint32_t AAC_SAMPLES_PER_UNIT = 1024;
constexpr size_t ADTS_HEADER_BYTES = 7;
constexpr size_t ADTS_CRC_BYTES = 2;
constexpr uint32_t ADTS_SAMPLE_RATES[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                          22050, 16000, 12000, 11025, 8000,  7350};
constexpr uint32_t AU_SIZE_SHIFT = 3; // below AU-size: the 3-bit AU-index
constexpr uint16_t AU_HEADERS_LENGTH_BITS = 16;

const char* ClipFileName(const AudioCodecChoice& choice) {
    switch (choice.codec) {
    case AudioCodec::MuLaw:
        return "voice-8k.ulaw";
    case AudioCodec::ALaw:
        return "voice-8k.alaw";
    case AudioCodec::Aac:
        return "voice-16k.aac";
    default:
        return nullptr; // G.726: by rate
    }
}

std::optional<Bytes> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

const char* const AUDIO_CODEC_NAMES = "g711_64/g711a_64/g726_40/g726_32/g726_24/g726_16/aac16_64";

std::optional<AudioCodecChoice> ParseAudioCodecName(std::string_view name) {
    if (name == "g711_64")
        return AudioCodecChoice{AudioCodec::MuLaw, 64000};
    if (name == "g711a_64")
        return AudioCodecChoice{AudioCodec::ALaw, 64000};
    if (name == "aac16_64")
        return AudioCodecChoice{AudioCodec::Aac, 64000};
    for (uint32_t rate : {16u, 24u, 32u, 40u})
        if (name == "g726_" + std::to_string(rate))
            return AudioCodecChoice{AudioCodec::G726, rate * 1000};
    return std::nullopt;
}

std::optional<AudioClip> CutAdts(std::span<const uint8_t> stream) {
    AudioClip clip;
    clip.choice.codec = AudioCodec::Aac;
    size_t position = 0;
    while (position + ADTS_HEADER_BYTES <= stream.size()) {
        const uint8_t* header = stream.data() + position;
        if (header[0] != 0xFF || (header[1] & 0xF0) != 0xF0)
            return std::nullopt;
        const bool hasCrc = (header[1] & 0x01) == 0;
        const uint8_t objectType = uint8_t(((header[2] >> 6) & 0x03) + 1);
        const uint8_t rateIndex = (header[2] >> 2) & 0x0F;
        const uint8_t channels = uint8_t(((header[2] & 0x01) << 2) | (header[3] >> 6));
        const size_t frameLength = (size_t(header[3] & 0x03) << 11) | (size_t(header[4]) << 3) | (header[5] >> 5);
        const size_t headerLength = ADTS_HEADER_BYTES + (hasCrc ? ADTS_CRC_BYTES : 0);
        if (rateIndex >= std::size(ADTS_SAMPLE_RATES) || frameLength <= headerLength ||
            position + frameLength > stream.size())
            return std::nullopt;
        // AudioSpecificConfig: object type (5 bits), frequency index (4), channels (4), three 0 bits.
        const uint16_t config = uint16_t((objectType << 11) | (rateIndex << 7) | (channels << 3));
        const Bytes configBytes{uint8_t(config >> 8), uint8_t(config)};
        if (!clip.aacConfig.empty() && clip.aacConfig != configBytes)
            return std::nullopt;
        clip.aacConfig = configBytes;
        clip.sampleRate = ADTS_SAMPLE_RATES[rateIndex];
        clip.units.emplace_back(header + headerLength, header + frameLength);
        position += frameLength;
    }
    if (clip.units.empty())
        return std::nullopt;
    return clip;
}

Bytes FrameAacUnit(std::span<const uint8_t> unit) {
    const uint16_t auHeader = uint16_t(unit.size() << AU_SIZE_SHIFT);
    Bytes framed(4 + unit.size());
    framed[0] = uint8_t(AU_HEADERS_LENGTH_BITS >> 8);
    framed[1] = uint8_t(AU_HEADERS_LENGTH_BITS);
    framed[2] = uint8_t(auHeader >> 8);
    framed[3] = uint8_t(auHeader);
    std::copy(unit.begin(), unit.end(), framed.begin() + 4);
    return framed;
}

AudioRtpFormat DescribeAudioTrack(const AudioClip& clip) {
    constexpr uint8_t PAYLOAD_TYPE_PCMU = 0;
    constexpr uint8_t PAYLOAD_TYPE_PCMA = 8;
    constexpr uint8_t PAYLOAD_TYPE_DYNAMIC_AUDIO = 97;
    switch (clip.choice.codec) {
    case AudioCodec::MuLaw:
        return {PAYLOAD_TYPE_PCMU, G711_SAMPLE_RATE, "m=audio 0 RTP/AVP 0\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:0 PCMU/8000\r\n"};
    case AudioCodec::ALaw:
        return {PAYLOAD_TYPE_PCMA, G711_SAMPLE_RATE, "m=audio 0 RTP/AVP 8\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:8 PCMA/8000\r\n"};
    case AudioCodec::G726:
        return {PAYLOAD_TYPE_DYNAMIC_AUDIO, G711_SAMPLE_RATE,
                "m=audio 0 RTP/AVP 97\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:97 AAL2-G726-" +
                    std::to_string(clip.choice.bitrate / 1000) + "/8000\r\n"};
    case AudioCodec::Aac:
        break;
    }
    char config[8];
    std::snprintf(config, sizeof config, "%02X%02X", clip.aacConfig.at(0), clip.aacConfig.at(1));
    return {PAYLOAD_TYPE_DYNAMIC_AUDIO, clip.sampleRate,
            "m=audio 0 RTP/AVP 97\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:97 mpeg4-generic/" +
                std::to_string(clip.sampleRate) +
                "/1\r\na=fmtp:97 streamtype=5;profile-level-id=15;mode=AAC-hbr;config=" + config +
                ";sizelength=13;indexlength=3;indexdeltalength=3\r\n"};
}

AudioClipLibrary::AudioClipLibrary(std::string directory) : m_directory(std::move(directory)) {}

std::shared_ptr<const AudioClip> AudioClipLibrary::Get(const AudioCodecChoice& choice) {
    std::lock_guard lock(m_mutex);
    auto& slot = m_loaded[{choice.codec, choice.bitrate}];
    if (slot)
        return slot;
    const char* name = ClipFileName(choice);
    const std::string path = m_directory + "/" +
                             (name ? std::string(name) : "voice-8k-" + std::to_string(choice.bitrate / 1000) + "k.g726");
    const std::optional<Bytes> content = ReadFile(path);
    if (!content || content->empty())
        return nullptr;
    std::optional<AudioClip> clip;
    if (choice.codec == AudioCodec::Aac) {
        clip = CutAdts(*content);
    } else {
        clip.emplace();
        clip->sampleRate = G711_SAMPLE_RATE;
        clip->stream = *content;
    }
    if (!clip)
        return nullptr;
    clip->choice = choice;
    slot = std::make_shared<const AudioClip>(std::move(*clip));
    return slot;
}

AudioPieces::AudioPieces(std::shared_ptr<const AudioClip> clip) : m_clip(std::move(clip)) {}

AudioPiece AudioPieces::Next() {
    if (m_clip->choice.codec == AudioCodec::Aac) {
        const Bytes& unit = m_clip->units[m_position++ % m_clip->units.size()];
        return {unit, AAC_SAMPLES_PER_UNIT};
    }
    // 20 ms of the codec's bytes; the clip repeats.
    const size_t bytes = size_t(m_clip->choice.bitrate) * SAMPLES_PER_PIECE / G711_SAMPLE_RATE / 8;
    AudioPiece piece{{}, SAMPLES_PER_PIECE};
    piece.bytes.reserve(bytes);
    const Bytes& stream = m_clip->stream;
    while (piece.bytes.size() < bytes) {
        const size_t start = m_position % stream.size();
        const size_t count = std::min(bytes - piece.bytes.size(), stream.size() - start);
        piece.bytes.insert(piece.bytes.end(), stream.begin() + std::ptrdiff_t(start),
                           stream.begin() + std::ptrdiff_t(start + count));
        m_position += count;
    }
    return piece;
}

} // namespace camsim

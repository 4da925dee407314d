// Session description (RFC 4566) of a DESCRIBE answer: per media kind the
// media line, connection address, control and rtpmap encoding, and the video
// decoder configuration from fmtp (RFC 6184 sprop-parameter-sets, RFC 3016 config).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvex {

enum SDPMediaKind : uint32_t {
    SDP_MEDIA_NONE = 0,
    SDP_MEDIA_VIDEO = 1,
    SDP_MEDIA_AUDIO = 2,
    SDP_MEDIA_APPLICATION = 3, // metadata, data or application
};

struct SDPMediaRecord {
    uint32_t port = 0;
    std::string protocol;
    std::string connectionAddress;
    std::string control;
    std::string encoding;
};

class CSDPResponseParser {
public:
    // A decoded parameter set or configuration larger than this is dropped.
    static constexpr size_t MAX_DECODED_CONFIG_BYTES = 256;

    // Clears everything, then reads the body; an empty body succeeds.
    bool Parse(std::string_view body);
    void Clear();

    // kind 1 video, 2 audio, 3 application; any other kind gives an empty record.
    const SDPMediaRecord& GetMedia(uint32_t kind) const;
    const std::vector<uint8_t>& GetFirstParameterSet() const { return m_firstParameterSet; }
    const std::vector<uint8_t>& GetSecondParameterSet() const { return m_secondParameterSet; }
    const std::vector<uint8_t>& GetConfiguration() const { return m_configuration; }

    // Standard alphabet; other characters (and '=') are skipped; empty beyond the limit.
    static std::vector<uint8_t> DecodeBase64(std::string_view text);
    // Pairs of hex digits; a non-digit counts as 0; a final odd digit is one byte.
    static std::vector<uint8_t> DecodeHex(std::string_view text);

private:
    bool ParseLine(std::string_view line);
    bool ParseMediaLine(std::string_view line);
    bool ParseConnectionLine(std::string_view line);
    bool ParseControlAttribute(std::string_view line);
    bool ParseRtpMap(std::string_view line);
    bool ParseFormatParameters(std::string_view line);
    SDPMediaRecord* CurrentRecord();

    uint32_t m_currentKind = SDP_MEDIA_NONE;
    std::array<SDPMediaRecord, 3> m_media;
    std::vector<uint8_t> m_firstParameterSet;
    std::vector<uint8_t> m_secondParameterSet;
    std::vector<uint8_t> m_configuration;
};

} // namespace talvex

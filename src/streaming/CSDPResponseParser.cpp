#include "streaming/CSDPResponseParser.h"

#include <algorithm>
#include <cctype>

namespace talvex {

namespace {

std::string ToLower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string_view> SplitAtBlanks(std::string_view text) {
    std::vector<std::string_view> tokens;
    size_t position = 0;
    while (position < text.size()) {
        const size_t start = text.find_first_not_of(" \t", position);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(text.find_first_of(" \t", start), text.size());
        tokens.push_back(text.substr(start, end - start));
        position = end;
    }
    return tokens;
}

// The text after `key` and `separator`, up to the first terminator. The key
// must start the text or follow a blank or ';' so that "config" does not match
// inside another parameter name.
std::string_view ExtractValue(std::string_view line, std::string_view key, char separator,
                              std::string_view terminators) {
    size_t position = 0;
    while ((position = line.find(key, position)) != std::string_view::npos) {
        const bool atBoundary = position == 0 || line[position - 1] == ' ' || line[position - 1] == ';' ||
                                line[position - 1] == '\t';
        size_t valueStart = position + key.size();
        while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t'))
            ++valueStart;
        if (atBoundary && valueStart < line.size() && line[valueStart] == separator) {
            ++valueStart;
            const size_t end = std::min(line.find_first_of(terminators, valueStart), line.size());
            return line.substr(valueStart, end - valueStart);
        }
        position += key.size();
    }
    return {};
}

uint32_t DecimalOrZero(std::string_view token) {
    if (token.empty() || token.size() > 10)
        return 0;
    uint64_t value = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + uint64_t(c - '0');
    }
    return value > 0xFFFFFFFFull ? 0 : uint32_t(value);
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

uint8_t HexValue(char c) {
    if (c >= '0' && c <= '9')
        return uint8_t(c - '0');
    if (c >= 'a' && c <= 'f')
        return uint8_t(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return uint8_t(c - 'A' + 10);
    return 0;
}

} // namespace

std::vector<uint8_t> CSDPResponseParser::DecodeBase64(std::string_view text) {
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    int bitCount = 0;
    for (char c : text) {
        const int value = Base64Value(c);
        if (value < 0)
            continue;
        bits = (bits << 6) | uint32_t(value);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            if (bytes.size() == MAX_DECODED_CONFIG_BYTES)
                return {};
            bytes.push_back(uint8_t(bits >> bitCount));
            bits &= (1u << bitCount) - 1;
        }
    }
    return bytes;
}

std::vector<uint8_t> CSDPResponseParser::DecodeHex(std::string_view text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        if (bytes.size() == MAX_DECODED_CONFIG_BYTES)
            return {};
        if (i + 1 < text.size())
            bytes.push_back(uint8_t((HexValue(text[i]) << 4) | HexValue(text[i + 1])));
        else
            bytes.push_back(HexValue(text[i]));
    }
    return bytes;
}

void CSDPResponseParser::Clear() {
    m_currentKind = SDP_MEDIA_NONE;
    m_media = {};
    m_firstParameterSet.clear();
    m_secondParameterSet.clear();
    m_configuration.clear();
}

const SDPMediaRecord& CSDPResponseParser::GetMedia(uint32_t kind) const {
    static const SDPMediaRecord empty;
    if (kind < SDP_MEDIA_VIDEO || kind > SDP_MEDIA_APPLICATION)
        return empty;
    return m_media[kind - 1];
}

SDPMediaRecord* CSDPResponseParser::CurrentRecord() {
    if (m_currentKind < SDP_MEDIA_VIDEO || m_currentKind > SDP_MEDIA_APPLICATION)
        return nullptr;
    return &m_media[m_currentKind - 1];
}

bool CSDPResponseParser::Parse(std::string_view body) {
    Clear();
    size_t position = 0;
    while (position < body.size()) {
        const size_t end = std::min(body.find_first_of("\r\n", position), body.size());
        const std::string_view line = body.substr(position, end - position);
        position = end + 1;
        if (!line.empty() && !ParseLine(line))
            return false;
    }
    return true;
}

bool CSDPResponseParser::ParseLine(std::string_view line) {
    const std::string lower = ToLower(line);
    if (StartsWith(lower, "m="))
        return ParseMediaLine(line);
    if (StartsWith(lower, "c=in"))
        return ParseConnectionLine(line);
    if (StartsWith(lower, "a=control"))
        return ParseControlAttribute(line);
    if (StartsWith(lower, "a=fmtp"))
        return ParseFormatParameters(line);
    if (StartsWith(lower, "a=rtpmap"))
        return ParseRtpMap(line);
    return true;
}

bool CSDPResponseParser::ParseMediaLine(std::string_view line) {
    const auto tokens = SplitAtBlanks(ExtractValue(line, "m", '=', "&\r\n"));
    if (tokens.empty())
        return false;
    const std::string type = ToLower(tokens[0]);
    if (type == "video")
        m_currentKind = SDP_MEDIA_VIDEO;
    else if (type == "audio")
        m_currentKind = SDP_MEDIA_AUDIO;
    else if (type == "metadata" || type == "data" || type == "application")
        m_currentKind = SDP_MEDIA_APPLICATION;
    else
        return true; // attributes that follow stay with the previous media
    if (tokens.size() < 3)
        return true;
    SDPMediaRecord& record = m_media[m_currentKind - 1];
    record.port = DecimalOrZero(tokens[1]);
    record.protocol = std::string(tokens[2]);
    return true;
}

bool CSDPResponseParser::ParseConnectionLine(std::string_view line) {
    const auto tokens = SplitAtBlanks(ExtractValue(line, "c", '=', "&\r\n"));
    if (tokens.size() < 3 || tokens[0] != "IN")
        return false;
    const std::string addressType = ToLower(tokens[1]);
    if (addressType == "ip6")
        return true;
    if (addressType != "ip4")
        return false;
    // A multicast address may carry "/ttl" (RFC 4566 5.7).
    const std::string_view address = tokens[2].substr(0, tokens[2].find('/'));
    if (SDPMediaRecord* record = CurrentRecord())
        record->connectionAddress = std::string(address);
    return !address.empty();
}

bool CSDPResponseParser::ParseControlAttribute(std::string_view line) {
    constexpr std::string_view key = "a=control:";
    const size_t position = line.find(key);
    if (SDPMediaRecord* record = CurrentRecord())
        record->control = position == std::string_view::npos ? std::string() : std::string(line.substr(position + key.size()));
    return true;
}

bool CSDPResponseParser::ParseRtpMap(std::string_view line) {
    const auto tokens = SplitAtBlanks(ExtractValue(line, "a=rtpmap", ':', "&\r\n"));
    if (tokens.size() < 2)
        return false;
    if (SDPMediaRecord* record = CurrentRecord())
        record->encoding = std::string(tokens[1]);
    return true;
}

bool CSDPResponseParser::ParseFormatParameters(std::string_view line) {
    if (m_currentKind == SDP_MEDIA_AUDIO || m_currentKind == SDP_MEDIA_APPLICATION)
        return true;
    if (m_currentKind != SDP_MEDIA_VIDEO)
        return false;
    const std::string_view parameterSets = ExtractValue(line, "sprop-parameter-sets", '=', ";\r\n");
    if (!parameterSets.empty()) {
        const size_t comma = parameterSets.find(',');
        if (comma == std::string_view::npos)
            return false;
        const std::string_view second = parameterSets.substr(comma + 1);
        m_firstParameterSet = DecodeBase64(parameterSets.substr(0, comma));
        m_secondParameterSet = DecodeBase64(second.substr(0, second.find(',')));
        return !m_firstParameterSet.empty() && !m_secondParameterSet.empty();
    }
    const std::string_view config = ExtractValue(line, "config", '=', ";\r\n");
    if (!config.empty()) {
        m_configuration = config.find('=') != std::string_view::npos ? DecodeBase64(config) : DecodeHex(config);
        return !m_configuration.empty();
    }
    return false;
}

} // namespace talvex

#include "streaming/CRTSPResponseParser.h"

#include <algorithm>
#include <cctype>

namespace talvex {

namespace {

constexpr uint32_t STATUS_OK = 200;
constexpr uint32_t STATUS_UNAUTHORIZED = 401;

std::string ToLower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Unsigned decimal after optional blanks; nothing else may stand before it.
std::optional<uint32_t> ReadDecimal(std::string_view text) {
    size_t position = text.find_first_not_of(" \t");
    if (position == std::string_view::npos || !std::isdigit(static_cast<unsigned char>(text[position])))
        return std::nullopt;
    uint64_t value = 0;
    for (; position < text.size() && std::isdigit(static_cast<unsigned char>(text[position])); ++position) {
        value = value * 10 + uint64_t(text[position] - '0');
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return uint32_t(value);
}

// The value of "name: <decimal>" at the start of a lower-cased header line.
std::optional<uint32_t> ReadHeaderNumber(const std::string& lower, std::string_view name) {
    if (lower.compare(0, name.size(), name) != 0)
        return std::nullopt;
    return ReadDecimal(std::string_view(lower).substr(name.size()));
}

// The value after `key` and '=' up to ',', CR or LF, trimmed, without quotes.
std::string ReadChallengeValue(std::string_view original, const std::string& lower, std::string_view key) {
    size_t position = 0;
    while ((position = lower.find(key, position)) != std::string::npos) {
        size_t equals = lower.find_first_not_of(" \t", position + key.size());
        if (equals != std::string::npos && lower[equals] == '=') {
            const size_t end = std::min(lower.find_first_of(",\r\n", equals + 1), lower.size());
            std::string value(TrimBlanks(original.substr(equals + 1, end - equals - 1)));
            value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
            return value;
        }
        position += key.size();
    }
    return {};
}

// RFC 2617 3.2.1: qop="auth,auth-int" is a quoted list of tokens.
bool OffersQopAuth(std::string_view lower) {
    size_t position = 0;
    while ((position = lower.find("qop", position)) != std::string_view::npos) {
        const size_t equals = lower.find_first_not_of(" \t", position + 3);
        position += 3;
        if (equals == std::string_view::npos || lower[equals] != '=')
            continue;
        const size_t open = lower.find_first_not_of(" \t", equals + 1);
        if (open == std::string_view::npos)
            return false;
        const bool quoted = lower[open] == '"';
        const size_t start = quoted ? open + 1 : open;
        const size_t end = std::min(lower.find_first_of(quoted ? "\"\r\n" : ",\r\n", start), lower.size());
        std::string_view list = lower.substr(start, end - start);
        while (!list.empty()) {
            const size_t comma = std::min(list.find(','), list.size());
            if (TrimBlanks(list.substr(0, comma)) == "auth")
                return true;
            list.remove_prefix(std::min(comma + 1, list.size()));
        }
        return false;
    }
    return false;
}

} // namespace

std::optional<uint32_t> CRTSPResponseParser::FindHeaderNumber(std::string_view response,
                                                              std::string_view lowerName) {
    const std::string lower = ToLower(response.substr(0, response.find("\r\n\r\n")));
    const std::string key = "\n" + std::string(lowerName) + ":";
    const size_t position = lower.find(key);
    if (position == std::string::npos)
        return std::nullopt;
    return ReadDecimal(std::string_view(lower).substr(position + key.size()));
}

bool CRTSPResponseParser::Parse(std::string_view response, uint32_t kind) {
    size_t position = 0;
    auto nextLine = [&]() -> std::optional<std::string_view> {
        if (position > response.size())
            return std::nullopt;
        const size_t end = std::min(response.find("\r\n", position), response.size());
        const std::string_view line = response.substr(position, end - position);
        position = end + 2;
        return line;
    };

    const auto statusLine = nextLine();
    if (!statusLine || !ParseStatusLine(*statusLine))
        return false;
    if (m_statusCode != STATUS_OK && m_statusCode != STATUS_UNAUTHORIZED)
        return false;
    m_contentLength = 0;
    m_digestInThisAnswer = false;

    bool headerBlockEnded = false;
    while (const auto line = nextLine()) {
        if (line->empty()) {
            headerBlockEnded = true;
            break;
        }
        if (!ParseHeaderLine(*line))
            return false;
    }

    std::string_view body;
    if (headerBlockEnded && m_contentLength != 0 && position < response.size())
        body = response.substr(position, m_contentLength);
    if (kind == RTSP_DESCRIBE)
        return m_description.Parse(body);
    return true;
}

bool CRTSPResponseParser::ParseStatusLine(std::string_view line) {
    const size_t blank = line.find_first_of(" \t");
    if (blank == 0 || blank == std::string_view::npos)
        return false;
    const auto status = ReadDecimal(line.substr(blank));
    if (!status)
        return false;
    m_version = std::string(line.substr(0, std::min(blank, MAX_VERSION_CHARS)));
    m_statusCode = *status;
    return true;
}

bool CRTSPResponseParser::ParseHeaderLine(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon < 2)
        return true;
    const std::string name = ToLower(TrimBlanks(line.substr(0, colon)));
    const std::string lower = ToLower(line);

    if (name == "cseq") {
        const auto value = ReadHeaderNumber(lower, "cseq:");
        if (!value)
            return false;
        m_cseq = *value;
    } else if (name == "content-base") {
        const size_t key = lower.find("content-base:");
        const size_t url = key == std::string::npos ? key : lower.find("rtsp://", key);
        if (url != std::string::npos)
            m_contentBase = std::string(TrimBlanks(line.substr(url)));
    } else if (name == "content-type") {
        const auto tokenStart = lower.find_first_not_of(" \t", colon + 1);
        if (lower.compare(0, 13, "content-type:") != 0 || tokenStart == std::string::npos)
            return false;
        const size_t tokenEnd = std::min(lower.find_first_of(" \t", tokenStart), lower.size());
        m_contentType = lower.substr(tokenStart, std::min(tokenEnd - tokenStart, MAX_CONTENT_TYPE_CHARS));
    } else if (name == "content-length") {
        const auto value = ReadHeaderNumber(lower, "content-length:");
        if (!value)
            return false;
        m_contentLength = *value;
    } else if (name == "www-authenticate") {
        return ParseAuthenticate(line, lower);
    } else if (name == "session") {
        return ParseSession(line);
    }
    return true;
}

bool CRTSPResponseParser::ParseSession(std::string_view line) {
    m_sessionId.clear();
    const std::string lower = ToLower(line);
    const size_t key = lower.find("session:");
    if (key == std::string::npos)
        return false;
    const std::string_view value = line.substr(key + 8);
    const size_t idEnd = std::min(value.find_first_of(";\r\n"), value.size());
    for (char c : value.substr(0, idEnd))
        if (c != ' ' && c != '\t')
            m_sessionId.push_back(c);

    if (idEnd < value.size() && value[idEnd] == ';') {
        const std::string lowerValue = ToLower(value);
        const size_t timeoutKey = lowerValue.find("timeout", idEnd);
        const size_t equals = timeoutKey == std::string::npos ? timeoutKey : lowerValue.find('=', timeoutKey);
        std::string_view timeout;
        if (equals != std::string::npos) {
            const size_t end = std::min(lowerValue.find_first_of(";\r\n", equals + 1), lowerValue.size());
            timeout = TrimBlanks(value.substr(equals + 1, end - equals - 1));
        }
        if (timeout.empty()) {
            m_sessionId.clear();
        } else {
            const uint32_t seconds = ReadDecimal(timeout).value_or(0);
            m_sessionTimeoutSeconds = seconds == 0 ? ZERO_TIMEOUT_SECONDS : seconds;
        }
    }
    return !m_sessionId.empty();
}

bool CRTSPResponseParser::ParseAuthenticate(std::string_view line, const std::string& lower) {
    const size_t key = lower.find("www-authenticate:");
    if (key == std::string::npos)
        return true;
    const size_t schemeStart = lower.find_first_not_of(" \t", key + 17);
    if (schemeStart == std::string::npos)
        return true;
    const size_t schemeEnd = std::min(lower.find_first_of(" \t\r\n", schemeStart), lower.size());
    const std::string scheme = lower.substr(schemeStart, schemeEnd - schemeStart);
    // Tolerance: a camera may list Basic after Digest in a second header; RFC
    // 2617 4.6 has the client take the strongest scheme it understands, so a
    // Basic challenge never replaces a Digest one of the same answer.
    if (scheme == "basic" && m_digestInThisAnswer)
        return true;
    if (scheme == "digest")
        m_offeredAuthScheme = RTSP_AUTH_DIGEST;
    else if (scheme == "basic")
        m_offeredAuthScheme = RTSP_AUTH_BASIC;
    else
        return true;
    m_digestInThisAnswer = m_offeredAuthScheme == RTSP_AUTH_DIGEST;
    const std::string lowerRest = lower.substr(schemeEnd);
    const std::string_view rest = line.substr(schemeEnd);
    m_realm = ReadChallengeValue(rest, lowerRest, "realm");
    m_nonce = ReadChallengeValue(rest, lowerRest, "nonce");
    m_qopAuthOffered = m_digestInThisAnswer && OffersQopAuth(lowerRest);
    return m_offeredAuthScheme != RTSP_AUTH_DIGEST || (!m_realm.empty() && !m_nonce.empty());
}

} // namespace talvex

// What the last RTSP/1.0 answers said: status, CSeq, Content-Base, session,
// authentication challenge and, for DESCRIBE, the session description.
#pragma once

#include "streaming/CSDPResponseParser.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvex {

enum RTSPRequestKind : uint32_t {
    RTSP_DESCRIBE = 1,
    RTSP_SETUP = 2,
    RTSP_PLAY = 3,
    RTSP_TEARDOWN = 4,
    RTSP_GET_PARAMETER = 5,
    RTSP_PAUSE = 6,
};

enum RTSPAuthScheme : uint32_t {
    RTSP_AUTH_NONE = 0,
    RTSP_AUTH_BASIC = 1,
    RTSP_AUTH_DIGEST = 2,
};

class CRTSPResponseParser {
public:
    static constexpr size_t MAX_VERSION_CHARS = 128;
    static constexpr size_t MAX_CONTENT_TYPE_CHARS = 256;
    // A session that names a time-out of 0 is kept alive as if it named this.
    static constexpr uint32_t ZERO_TIMEOUT_SECONDS = 30;

    // Reads one complete answer to a request of `kind`; true for a usable 200 or 401.
    bool Parse(std::string_view response, uint32_t kind);
    // A numeric header ("cseq", "content-length") of an answer's header block,
    // read without changing any state.
    static std::optional<uint32_t> FindHeaderNumber(std::string_view response, std::string_view lowerName);

    // The counter that numbers requests: incremented before each request is built.
    uint32_t NextCSeq() { return ++m_cseq; }
    uint32_t GetCSeq() const { return m_cseq; }
    uint32_t GetStatusCode() const { return m_statusCode; }
    const std::string& GetVersion() const { return m_version; }
    const std::string& GetContentBase() const { return m_contentBase; }
    const std::string& GetContentType() const { return m_contentType; }
    uint32_t GetContentLength() const { return m_contentLength; }
    const std::string& GetSessionId() const { return m_sessionId; }
    uint32_t GetSessionTimeoutSeconds() const { return m_sessionTimeoutSeconds; }
    uint32_t GetOfferedAuthScheme() const { return m_offeredAuthScheme; }
    const std::string& GetRealm() const { return m_realm; }
    const std::string& GetNonce() const { return m_nonce; }
    // The Digest challenge asks for qop "auth" (RFC 2617 3.2.1).
    bool IsQopAuthOffered() const { return m_qopAuthOffered; }
    const CSDPResponseParser& GetDescription() const { return m_description; }
    // Forgets what the last DESCRIBE said: the description and its Content-Base
    // (the next connection may serve another URL, such as another recording).
    void ClearDescription() {
        m_description.Clear();
        m_contentBase.clear();
    }

private:
    bool ParseStatusLine(std::string_view line);
    bool ParseHeaderLine(std::string_view line);
    bool ParseSession(std::string_view line);
    bool ParseAuthenticate(std::string_view line, const std::string& lower);

    uint32_t m_statusCode = 0;
    std::string m_version;
    uint32_t m_cseq = 0;
    std::string m_contentBase;
    std::string m_contentType;
    uint32_t m_contentLength = 0;
    std::string m_sessionId;
    uint32_t m_sessionTimeoutSeconds = 0;
    uint32_t m_offeredAuthScheme = RTSP_AUTH_NONE;
    std::string m_realm;
    std::string m_nonce;
    bool m_qopAuthOffered = false;
    // A Digest challenge was read from the answer being parsed.
    bool m_digestInThisAnswer = false;
    CSDPResponseParser m_description;
};

} // namespace talvex

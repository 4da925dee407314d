// The RTSP/1.0 client (RFC 2326) of every stream: one TCP connection, the six
// requests the driver uses, Basic and Digest authorisation, and in interleaved
// mode the reader of the connection after PLAY. Synchronous: every operation
// blocks the calling thread; the owner serialises requests.
#pragma once

#include "common/CEvent.h"
#include "platform/CSocket.h"
#include "streaming/CRTSPResponseParser.h"
#include "streaming/IRTPReceiverUser.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace talvex {

class CRTSPStreamParser;

struct RTSPSessionParams {
    uint16_t port = 554;
    uint16_t rtpPort = 0;
    uint16_t rtcpPort = 0;
    std::string host;
    std::string user;
    std::string password;
    uint32_t connectTimeoutMs = 5000;
    uint32_t receiveTimeoutMs = 5000;
    uint32_t receiveBufferSize = 65536;
    uint32_t defaultSessionTimeoutSeconds = 60;
    uint32_t authScheme = RTSP_AUTH_NONE;
    std::string path;
    uint32_t mediaIndex = SDP_MEDIA_VIDEO;
    std::string range;
    std::string extraHeader1;
    std::string extraHeader2;
    uint32_t blocksize = 0;
};

enum RTSPTransportMode : uint32_t {
    RTSP_TRANSPORT_UDP = 0,
    RTSP_TRANSPORT_TCP = 1,
    RTSP_TRANSPORT_INTERLEAVED = 2,
};

class CBaseRTSPClient {
public:
    static constexpr uint32_t CONNECT_STEP_MS = 100;
    static constexpr size_t FIRST_READ_BYTES = 256;
    static constexpr size_t NEXT_READ_BYTES = 512;
    // A header block that does not end within this many bytes fails the answer.
    static constexpr size_t MAX_HEADER_BYTES = 8192;
    // Largest answer body read (a DESCRIBE with a long description).
    static constexpr size_t MAX_BODY_BYTES = 65536;
    static constexpr size_t INTERLEAVED_READ_BYTES = 8192;
    // Packets that may wait while a keep-alive answer is read from the stream.
    static constexpr size_t MAX_PENDING_PACKET_BYTES = 16 * 1024 * 1024;

    CBaseRTSPClient() = default;
    CBaseRTSPClient(const CBaseRTSPClient&) = delete;
    CBaseRTSPClient& operator=(const CBaseRTSPClient&) = delete;

    bool Connect(const RTSPSessionParams& params, IRTPReceiverUser* packetReceiver, uint32_t transportMode);
    // May come from another thread: it also ends a reader blocked on the connection.
    void Disconnect();
    bool SendRequest(uint32_t kind);

    uint32_t GetKeepAliveIntervalMs() const;
    void GetParameterSets(std::vector<uint8_t>& firstSet, std::vector<uint8_t>& secondSet,
                          std::vector<uint8_t>& configuration) const;
    bool IsConnected() const { return m_connected; }
    bool GetLastResult() const { return m_lastResult; }
    // Why the last Connect or request failed ("DESCRIBE rtsp://10.0.0.5:554/video1
    // answered RTSP 503", "connection to 10.0.0.5:554 refused"); never a credential.
    const std::string& GetFailure() const { return m_failure; }
    uint32_t GetStatusCode() const { return m_parser.GetStatusCode(); }
    const std::string& GetSessionId() const { return m_parser.GetSessionId(); }
    const std::string& GetContentBase() const { return m_parser.GetContentBase(); }
    const SDPMediaRecord& GetMediaRecord(uint32_t kind) const { return m_parser.GetDescription().GetMedia(kind); }
    const CRTSPResponseParser& GetResponseParser() const { return m_parser; }

    virtual std::string BuildRequest(uint32_t kind);
    virtual bool ReceiveInterleavedStream();
    virtual ~CBaseRTSPClient();

protected:
    std::string GetBaseUrl() const;
    std::string GetControlUrl() const;
    std::string GetAuthorizationLine(const char* method);
    std::string GetTransportLine() const;

private:
    bool Exchange(uint32_t kind);
    // The failure of request kind: its answer's status, or why none came.
    void DescribeRequestFailure(uint32_t kind, const std::string& response, bool parsed);
    bool SendText(const std::string& request);
    std::string ReadResponse();
    // While the interleaved reader runs (a keep-alive, PAUSE or PLAY sent from
    // the packet path), the answer is cut out of the stream and matched by CSeq;
    // packets read meanwhile wait in the stream parser and keep their order.
    bool ReadResponseFromStream(uint32_t kind, uint32_t cseq);
    SocketResult ReceiveSome(std::span<uint8_t> buffer, size_t& received);
    // ", qop=auth, nc=..., cnonce=..." and the response of RFC 2617 3.2.2.1
    // for a challenge with qop="auth"; counts the requests made with a nonce.
    std::string AnswerWithQop(const std::string& ha1, const std::string& nonce, const std::string& ha2,
                              std::string& response);

    RTSPSessionParams m_params;
    uint32_t m_transportMode = RTSP_TRANSPORT_UDP;
    IRTPReceiverUser* m_packetReceiver = nullptr;
    sockaddr_in m_serverAddress{};
    uint32_t m_authScheme = RTSP_AUTH_NONE;
    CRTSPResponseParser m_parser;
    // RFC 2617 nonce count and client nonce of the current server nonce.
    std::string m_countedNonce;
    uint32_t m_nonceCount = 0;
    std::string m_clientNonce;
    bool m_lastResult = false;
    std::string m_failure;
    std::atomic<bool> m_connected{false};
    // Guards the socket handle against a Disconnect from another thread while a
    // read or write is under way; held only across one socket call.
    std::mutex m_socketMutex;
    CSocket m_socket;
    // Set by Disconnect so that a read waiting on the socket returns at once.
    CManualEvent m_disconnectEvent;
    // The interleaved reader in progress, if any.
    CRTSPStreamParser* m_streamParser = nullptr;
};

} // namespace talvex

#include "streaming/CBaseRTSPClient.h"

#include "common/Base64.h"
#include "common/Md5.h"
#include "common/LatencyProbe.h"
#include "common/StringFormat.h"
#include "streaming/CRTSPStreamParser.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

namespace talvex {

namespace {

constexpr const char* RTSP_VERSION_LINE = "RTSP/1.0\r\n";
constexpr const char* USER_AGENT_LINE = "User-Agent: Talvex\r\n";
constexpr const char* ACCEPT_SDP_LINE = "Accept: application/sdp\r\n";
constexpr const char* PAUSE_RANGE_LINE = "Range: npt=0.000-\r\n";
// Blocksize is only worth asking for above this many bytes.
constexpr uint32_t MIN_BLOCKSIZE = 100;

const char* MethodName(uint32_t kind) {
    switch (kind) {
    case RTSP_DESCRIBE:
        return "DESCRIBE";
    case RTSP_SETUP:
        return "SETUP";
    case RTSP_PLAY:
        return "PLAY";
    case RTSP_TEARDOWN:
        return "TEARDOWN";
    case RTSP_GET_PARAMETER:
        return "GET_PARAMETER";
    case RTSP_PAUSE:
        return "PAUSE";
    default:
        return nullptr;
    }
}

std::string ErrnoText(int error) {
    return error == ETIMEDOUT ? "timed out" : std::strerror(error);
}

int PollTimeout(uint32_t milliseconds) {
    return milliseconds == 0 ? CSocket::kInfinite : int(std::min<uint32_t>(milliseconds, 0x7FFFFFFF));
}

} // namespace

CBaseRTSPClient::~CBaseRTSPClient() {
    Disconnect();
}

bool CBaseRTSPClient::Connect(const RTSPSessionParams& params, IRTPReceiverUser* packetReceiver,
                              uint32_t transportMode) {
    if (m_connected)
        return true;
    m_params = params;
    m_transportMode = transportMode;
    m_packetReceiver = packetReceiver;
    m_authScheme = params.authScheme;
    m_parser.ClearDescription();
    m_disconnectEvent.Reset();

    const std::string server = "RTSP connection to " + params.host + ":" + std::to_string(params.port);
    std::lock_guard lock(m_socketMutex);
    if (!m_socket.CreateTcp()) {
        m_failure = server + ": no socket: " + ErrnoText(errno);
        return false;
    }
    if (!m_socket.SetOption(SOL_SOCKET, SO_RCVBUF, int(params.receiveBufferSize)) ||
        !m_socket.SetTimeoutOption(SO_RCVTIMEO, params.receiveTimeoutMs)) {
        m_failure = server + ": socket options refused: " + ErrnoText(errno);
        m_socket.Close();
        return false;
    }
    sockaddr_in address{};
    if (!ResolveIPv4(params.host, params.port, address)) {
        m_failure = server + ": the address does not resolve";
        m_socket.Close();
        return false;
    }
    if (!m_socket.ConnectStepped(address, params.connectTimeoutMs / CONNECT_STEP_MS, CONNECT_STEP_MS,
                                 m_disconnectEvent.GetNativeHandle())) {
        m_failure = server + ": " + ErrnoText(errno);
        if (errno == ETIMEDOUT)
            m_failure += " after " + std::to_string(params.connectTimeoutMs) + " ms";
        m_socket.Close();
        return false;
    }
    m_serverAddress = address;
    m_connected = true;
    return true;
}

void CBaseRTSPClient::Disconnect() {
    m_connected = false;
    m_disconnectEvent.Set();
    std::lock_guard lock(m_socketMutex);
    m_socket.Close();
    m_packetReceiver = nullptr;
}

uint32_t CBaseRTSPClient::GetKeepAliveIntervalMs() const {
    const uint32_t named = m_parser.GetSessionTimeoutSeconds();
    return (named != 0 ? named : m_params.defaultSessionTimeoutSeconds) * 1000;
}

void CBaseRTSPClient::GetParameterSets(std::vector<uint8_t>& firstSet, std::vector<uint8_t>& secondSet,
                                       std::vector<uint8_t>& configuration) const {
    if (!m_connected) {
        firstSet.clear();
        secondSet.clear();
        configuration.clear();
        return;
    }
    const CSDPResponseParser& description = m_parser.GetDescription();
    firstSet = description.GetFirstParameterSet();
    secondSet = description.GetSecondParameterSet();
    configuration = description.GetConfiguration();
}

std::string CBaseRTSPClient::GetBaseUrl() const {
    const std::string& contentBase = m_parser.GetContentBase();
    if (contentBase.find("rtsp://") != std::string::npos)
        return contentBase;
    const size_t pathStart = m_params.path.find_first_not_of('/');
    const std::string path = pathStart == std::string::npos ? std::string() : m_params.path.substr(pathStart);
    return "rtsp://" + m_params.host + ":" + std::to_string(m_params.port) + "/" + path;
}

std::string CBaseRTSPClient::GetControlUrl() const {
    const std::string& control = GetMediaRecord(m_params.mediaIndex).control;
    if (control.find("://") != std::string::npos)
        return control;
    std::string url = GetBaseUrl();
    if (control.empty())
        return url;
    if (!url.empty() && url.back() == '/')
        url.pop_back();
    if (control.front() != '/')
        url += '/';
    return url + control;
}

std::string CBaseRTSPClient::GetAuthorizationLine(const char* method) {
    if (m_authScheme == RTSP_AUTH_BASIC) {
        const std::string credentials = Base64Encode(m_params.user + ":" + m_params.password);
        return credentials.empty() ? std::string() : "Authorization: Basic " + credentials + "\r\n";
    }
    if (m_authScheme != RTSP_AUTH_DIGEST || m_parser.GetOfferedAuthScheme() != RTSP_AUTH_DIGEST)
        return {};
    // RFC 2617 without qop: the URI is the base URL, also for SETUP.
    const std::string uri = GetBaseUrl();
    const std::string& realm = m_parser.GetRealm();
    const std::string& nonce = m_parser.GetNonce();
    if (realm.empty() || nonce.empty() || m_params.user.empty() || m_params.password.empty() || uri.empty())
        return {};
    const std::string ha1 = Md5Hex(m_params.user + ":" + realm + ":" + m_params.password);
    const std::string ha2 = Md5Hex(std::string(method) + ":" + uri);
    std::string response;
    const std::string qopFields =
        m_parser.IsQopAuthOffered() ? AnswerWithQop(ha1, nonce, ha2, response) : std::string();
    if (qopFields.empty())
        response = Md5Hex(ha1 + ":" + nonce + ":" + ha2);
    return "Authorization: Digest username=\"" + m_params.user + "\", realm=\"" + realm + "\", nonce=\"" + nonce +
           "\", uri=\"" + uri + "\", response=\"" + response + "\"" + qopFields + "\r\n";
}

// Tolerance: cameras that put qop="auth" in their challenge refuse the RFC
// 2069 answer; RFC 2617 3.2.2 then asks for qop, nc and cnonce.
std::string CBaseRTSPClient::AnswerWithQop(const std::string& ha1, const std::string& nonce, const std::string& ha2,
                                           std::string& response) {
    if (nonce != m_countedNonce) {
        m_countedNonce = nonce;
        m_nonceCount = 0;
        std::random_device random;
        m_clientNonce = Md5Hex(std::to_string(random()) + ":" + std::to_string(random()) + ":" + nonce).substr(0, 16);
    }
    char nonceCount[9];
    std::snprintf(nonceCount, sizeof nonceCount, "%08x", ++m_nonceCount);
    response = Md5Hex(ha1 + ":" + nonce + ":" + nonceCount + ":" + m_clientNonce + ":auth:" + ha2);
    return std::string(", qop=auth, nc=") + nonceCount + ", cnonce=\"" + m_clientNonce + "\"";
}

std::string CBaseRTSPClient::GetTransportLine() const {
    std::string protocol = GetMediaRecord(m_params.mediaIndex).protocol;
    if (protocol.empty() || protocol == "RTP/AVP")
        protocol = m_transportMode == RTSP_TRANSPORT_UDP ? "RTP/AVP/UDP" : "RTP/AVP/TCP";
    const std::string ports = m_transportMode == RTSP_TRANSPORT_INTERLEAVED
                                  ? std::string(";interleaved=0-1")
                                  : ";client_port=" + std::to_string(m_params.rtpPort) + "-" +
                                        std::to_string(m_params.rtcpPort);
    return "Transport: " + protocol + ";unicast" + ports + "\r\n";
}

std::string CBaseRTSPClient::BuildRequest(uint32_t kind) {
    const char* method = MethodName(kind);
    const std::string& session = m_parser.GetSessionId();
    if (!method || (kind == RTSP_TEARDOWN && session.empty()))
        return {};

    const std::string cseqLine = "CSeq: " + std::to_string(m_parser.NextCSeq()) + "\r\n";
    const std::string authorizationLine = GetAuthorizationLine(method);
    const std::string sessionLine = session.empty() ? std::string() : "Session: " + session + "\r\n";
    const std::string blocksizeLine =
        m_params.blocksize > MIN_BLOCKSIZE ? "Blocksize: " + std::to_string(m_params.blocksize) + "\r\n" : "";
    const std::string& baseUrl = GetBaseUrl();
    const std::string head = std::string(method) + " ";

    switch (kind) {
    case RTSP_DESCRIBE:
        return head + baseUrl + " " + RTSP_VERSION_LINE + cseqLine + authorizationLine + USER_AGENT_LINE +
               ACCEPT_SDP_LINE + "\r\n";
    case RTSP_SETUP:
        return head + GetControlUrl() + " " + RTSP_VERSION_LINE + cseqLine + authorizationLine +
               GetTransportLine() + blocksizeLine + USER_AGENT_LINE + "\r\n";
    case RTSP_PLAY: {
        const std::string rangeLine = "Range: " + (m_params.range.empty() ? "npt=0.000-" : m_params.range) + "\r\n";
        const std::string& extra = !m_params.extraHeader1.empty() ? m_params.extraHeader1 : m_params.extraHeader2;
        const std::string extraLine = extra.empty() ? std::string() : extra + "\r\n";
        return head + baseUrl + " " + RTSP_VERSION_LINE + cseqLine + authorizationLine + sessionLine + rangeLine +
               extraLine + blocksizeLine + USER_AGENT_LINE + "\r\n";
    }
    case RTSP_PAUSE:
        return head + baseUrl + " " + RTSP_VERSION_LINE + cseqLine + authorizationLine + sessionLine +
               PAUSE_RANGE_LINE + USER_AGENT_LINE + "\r\n";
    default: // TEARDOWN, GET_PARAMETER
        return head + baseUrl + " " + RTSP_VERSION_LINE + cseqLine + authorizationLine + sessionLine +
               USER_AGENT_LINE + "\r\n";
    }
}

bool CBaseRTSPClient::SendRequest(uint32_t kind) {
    bool result = Exchange(kind);
    // A camera may answer 401 once with the scheme it wants: one retry with it.
    if (result && m_parser.GetStatusCode() == 401 && m_parser.GetOfferedAuthScheme() != m_authScheme) {
        m_authScheme = m_parser.GetOfferedAuthScheme();
        result = Exchange(kind);
    }
    m_lastResult = result;
    return result;
}

bool CBaseRTSPClient::Exchange(uint32_t kind) {
    if (!m_connected) {
        m_failure = std::string(MethodName(kind) ? MethodName(kind) : "request") + ": not connected";
        return false;
    }
    const std::string request = BuildRequest(kind);
    if (request.empty() || !SendText(request)) {
        DescribeRequestFailure(kind, {}, false);
        return false;
    }
    if (m_streamParser)
        return ReadResponseFromStream(kind, m_parser.GetCSeq());
    if (kind == RTSP_PLAY && m_transportMode == RTSP_TRANSPORT_INTERLEAVED)
        return ReceiveInterleavedStream();
    const std::string response = ReadResponse();
    const bool parsed = !response.empty() && m_parser.Parse(response, kind);
    DescribeRequestFailure(kind, response, parsed);
    return parsed;
}

void CBaseRTSPClient::DescribeRequestFailure(uint32_t kind, const std::string& response, bool parsed) {
    // The URL is built from host, port and path (or the camera's Content-Base),
    // never from the credentials; UrlWithoutCredentials covers a camera that
    // names them in its Content-Base.
    const std::string request = std::string(MethodName(kind) ? MethodName(kind) : "request") + " " +
                                UrlWithoutCredentials(kind == RTSP_SETUP ? GetControlUrl() : GetBaseUrl());
    // The parser refuses answers other than 200 and 401; their status is read here.
    unsigned status = 0;
    if (response.empty())
        m_failure = request + ": no answer (connection closed, or nothing within " +
                    std::to_string(m_params.receiveTimeoutMs) + " ms)";
    else if (std::sscanf(response.c_str(), "RTSP/%*s %u", &status) != 1)
        m_failure = request + ": the answer is no RTSP message";
    else if (status != 200)
        m_failure = request + " answered RTSP " + std::to_string(status);
    else if (!parsed)
        m_failure = request + ": the answer could not be read";
    else
        m_failure.clear();
}

bool CBaseRTSPClient::SendText(const std::string& request) {
    std::lock_guard lock(m_socketMutex);
    if (!m_socket.IsOpen())
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(request.data());
    return m_socket.SendAll({bytes, request.size()}, m_disconnectEvent.GetNativeHandle(),
                            PollTimeout(m_params.receiveTimeoutMs));
}

SocketResult CBaseRTSPClient::ReceiveSome(std::span<uint8_t> buffer, size_t& received) {
    std::lock_guard lock(m_socketMutex);
    received = 0;
    if (!m_socket.IsOpen())
        return SocketResult::Failed;
    return m_socket.Receive(buffer, received, m_disconnectEvent.GetNativeHandle(),
                            PollTimeout(m_params.receiveTimeoutMs));
}

std::string CBaseRTSPClient::ReadResponse() {
    std::string text;
    size_t expected = MAX_HEADER_BYTES;
    bool headerComplete = false;
    std::vector<uint8_t> buffer(NEXT_READ_BYTES);
    while (text.size() < expected) {
        const size_t wanted = text.empty() ? FIRST_READ_BYTES : std::min(NEXT_READ_BYTES, expected - text.size());
        size_t received = 0;
        if (ReceiveSome({buffer.data(), wanted}, received) != SocketResult::Data)
            break;
        text.append(reinterpret_cast<const char*>(buffer.data()), received);
        if (!headerComplete) {
            const size_t headerEnd = text.find("\r\n\r\n");
            if (headerEnd == std::string::npos)
                continue;
            headerComplete = true;
            const size_t body = CRTSPResponseParser::FindHeaderNumber(text, "content-length").value_or(0);
            expected = headerEnd + 4 + std::min(body, MAX_BODY_BYTES);
        }
    }
    return text;
}

bool CBaseRTSPClient::ReadResponseFromStream(uint32_t kind, uint32_t cseq) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(m_params.receiveTimeoutMs ? m_params.receiveTimeoutMs : 5000);
    std::vector<uint8_t> buffer(INTERLEAVED_READ_BYTES);
    for (;;) {
        // Answers to earlier requests (PLAY's own) are passed over.
        while (auto response = m_streamParser->TakeResponse()) {
            if (CRTSPResponseParser::FindHeaderNumber(*response, "cseq") == cseq)
                return m_parser.Parse(*response, kind);
        }
        if (!m_connected || std::chrono::steady_clock::now() >= deadline ||
            m_streamParser->GetPendingPacketBytes() > MAX_PENDING_PACKET_BYTES)
            return false;
        size_t received = 0;
        if (ReceiveSome(buffer, received) != SocketResult::Data)
            return false;
        m_streamParser->Feed({buffer.data(), received}, LatencyProbe::NowNs());
    }
}

bool CBaseRTSPClient::ReceiveInterleavedStream() {
    CRTSPStreamParser parser(m_packetReceiver, m_serverAddress);
    m_streamParser = &parser;
    std::vector<uint8_t> buffer(INTERLEAVED_READ_BYTES);
    bool connectionEnded = false;
    while (m_connected) {
        size_t received = 0;
        const SocketResult result = ReceiveSome(buffer, received);
        if (result == SocketResult::Data) {
            parser.Feed({buffer.data(), received}, LatencyProbe::NowNs());
            continue;
        }
        connectionEnded = result != SocketResult::Stopped && m_connected;
        break;
    }
    m_streamParser = nullptr;
    return connectionEnded;
}

} // namespace talvex

#include "HttpServer.h"

#include "OutageFault.h"
#include "TlsContext.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace camsim {

namespace {

constexpr size_t kReadSize = 16 * 1024;
constexpr uint8_t kTlsHandshakeRecord = 0x16;
constexpr const char* kRealm = "Sony Network Camera";

const char* ReasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

std::string BuildHead(int status, const HttpExchange::HeaderList& headers) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
    head += "Server: camsim\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    return head;
}

std::vector<std::string> InquiryGroups(std::string_view query) {
    std::vector<std::string> groups;
    for (const auto& [key, value] : SplitItems(query))
        if (key == "inq")
            groups.push_back(PercentDecode(value));
    return groups;
}

} // namespace

// One accepted socket, plain or TLS; every wait also watches the server's stop.
class HttpExchange::Connection {
public:
    Connection(int fd, int stopFd) : m_fd(fd), m_stopFd(stopFd) {}
    ~Connection() {
        if (m_ssl) {
            SSL_shutdown(m_ssl);
            SSL_free(m_ssl);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool StartTls(SSL_CTX* context) {
        m_ssl = SSL_new(context);
        if (!m_ssl || SSL_set_fd(m_ssl, m_fd) != 1)
            return false;
        return WaitReadable() && SSL_accept(m_ssl) == 1;
    }
    bool IsSecure() const { return m_ssl != nullptr; }
    std::string PeerAddress() const { return AddressOf(::getpeername); }
    std::string LocalAddress() const { return AddressOf(::getsockname); }
    bool Stopping() const {
        pollfd fd{m_stopFd, POLLIN, 0};
        return ::poll(&fd, 1, 0) == 1;
    }
    // -1 when the peer closed or the server stops.
    int PeekFirstByte() {
        uint8_t byte = 0;
        if (!WaitReadable() || ::recv(m_fd, &byte, 1, MSG_PEEK) != 1)
            return -1;
        return byte;
    }
    // Appends what arrives next; false on close, error or stop.
    bool ReadSome(std::string& buffer) {
        char chunk[kReadSize];
        if (!(m_ssl && SSL_pending(m_ssl) > 0) && !WaitReadable())
            return false;
        const ssize_t count = m_ssl ? SSL_read(m_ssl, chunk, sizeof chunk) : ::recv(m_fd, chunk, sizeof chunk, 0);
        if (count <= 0)
            return false;
        buffer.append(chunk, size_t(count));
        return true;
    }
    bool WriteAll(std::string_view data) {
        while (!data.empty()) {
            if (Stopping())
                return false;
            const ssize_t count = m_ssl ? SSL_write(m_ssl, data.data(), int(data.size()))
                                        : ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (count <= 0)
                return false;
            data.remove_prefix(size_t(count));
        }
        return true;
    }

    std::string pending; // bytes read past the current request

private:
    std::string AddressOf(int (*query)(int, sockaddr*, socklen_t*)) const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        char text[INET_ADDRSTRLEN] = {};
        if (query(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET ||
            !::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text))
            return {};
        return text;
    }
    bool WaitReadable() {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        for (;;) {
            const int ready = ::poll(fds, 2, -1);
            if (ready < 0 && errno == EINTR)
                continue;
            return ready > 0 && !(fds[1].revents & POLLIN) && (fds[0].revents & (POLLIN | POLLHUP | POLLERR));
        }
    }

    int m_fd;
    int m_stopFd;
    SSL* m_ssl = nullptr;
};

HttpExchange::HttpExchange(Connection& connection, HttpRequestHead head, const HttpFaults& faults,
                           uint64_t bodyLength, bool chunked, AnswerHook onAnswer)
    : m_connection(connection), m_head(std::move(head)), m_faults(faults),
      m_bodyLeft(chunked ? UINT64_MAX : bodyLength), m_onAnswer(std::move(onAnswer)) {
    if (chunked)
        m_chunked.emplace();
}

void HttpExchange::BeginAnswer(int status) {
    m_status = status;
    if (m_onAnswer)
        m_onAnswer(*this);
    m_onAnswer = nullptr;
}

bool HttpExchange::IsSecure() const {
    return m_connection.IsSecure();
}

std::string HttpExchange::PeerAddress() const {
    return m_connection.PeerAddress();
}

std::string HttpExchange::LocalAddress() const {
    return m_connection.LocalAddress();
}

bool HttpExchange::Stopping() const {
    return m_connection.Stopping();
}

bool HttpExchange::ReadBody(std::string& out, size_t maxBytes) {
    if (m_bodyLeft == 0 || maxBytes == 0)
        return false;
    if (m_chunked)
        return ReadChunkedBody(out, maxBytes);
    if (m_connection.pending.empty() && !m_connection.ReadSome(m_connection.pending)) {
        m_closeAfter = true;
        return false;
    }
    const size_t count = size_t(std::min<uint64_t>({m_bodyLeft, maxBytes, m_connection.pending.size()}));
    out.append(m_connection.pending, 0, count);
    m_connection.pending.erase(0, count);
    m_bodyLeft -= count;
    return true;
}

// Decoding never makes more bytes than it reads: at most maxBytes are fed at once.
bool HttpExchange::ReadChunkedBody(std::string& out, size_t maxBytes) {
    const size_t before = out.size();
    for (;;) {
        if (m_connection.pending.empty() && !m_connection.ReadSome(m_connection.pending)) {
            m_closeAfter = true;
            return out.size() > before;
        }
        size_t consumed = 0;
        const auto status = m_chunked->Feed(std::string_view(m_connection.pending).substr(0, maxBytes), out, consumed);
        m_connection.pending.erase(0, consumed);
        if (status == ChunkedBodyDecoder::Status::Done)
            m_bodyLeft = 0;
        if (status == ChunkedBodyDecoder::Status::Invalid)
            m_closeAfter = true;
        if (status != ChunkedBodyDecoder::Status::NeedMore || out.size() > before)
            return out.size() > before;
    }
}

bool HttpExchange::SendResponse(int status, const std::string& body, const HeaderList& headers) {
    HeaderList all = headers;
    all.emplace_back("Content-Length", std::to_string(body.size()));
    BeginAnswer(status);
    // Head and body in one write: a second small write would wait for the
    // client's delayed acknowledgement of the first.
    std::string answer = BuildHead(status, all);
    if (m_faults.truncateBody && !body.empty()) {
        m_closeAfter = true;
        answer.append(body, 0, body.size() / 2);
    } else {
        answer += body;
    }
    return m_connection.WriteAll(answer);
}

bool HttpExchange::SendHead(int status, const HeaderList& headers) {
    HeaderList all = headers;
    all.emplace_back("Connection", "close");
    BeginAnswer(status);
    m_closeAfter = true;
    return m_connection.WriteAll(BuildHead(status, all));
}

bool HttpExchange::SendBytes(std::string_view data) {
    return m_connection.WriteAll(data);
}

HttpServer::HttpServer(std::shared_ptr<CameraState> state, HttpServerOptions options)
    : m_state(std::move(state)), m_options(std::move(options)), m_authenticator(kRealm) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::OpenListener(uint16_t port, int& fd, uint16_t& boundPort, std::string& error) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, m_options.bindAddress.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + m_options.bindAddress;
        return false;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 32) != 0) {
        error = "bind " + m_options.bindAddress + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return true;
}

bool HttpServer::Start(std::string& error) {
    // OpenSSL writes to the socket without MSG_NOSIGNAL: a client that went
    // away must not kill the process that hosts the camera.
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        ::signal(SIGPIPE, SIG_IGN);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_stopFd < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    if (!OpenListener(m_options.port, m_listenFd, m_port, error))
        return false;
    if (m_options.https) {
        m_tls = TlsContext::CreateSelfSigned(m_state->Model(), error);
        if (!m_tls || !OpenListener(m_options.httpsPort, m_httpsListenFd, m_httpsPort, error))
            return false;
    }
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void HttpServer::Stop() {
    if (m_stopFd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(m_stopFd, &one, sizeof one);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::list<ConnectionSlot> connections;
    {
        std::lock_guard lock(m_mutex);
        for (ConnectionSlot& slot : m_connections)
            ::shutdown(slot.fd, SHUT_RDWR); // ends blocking TLS reads and writes too
        connections.splice(connections.end(), m_connections);
    }
    for (ConnectionSlot& slot : connections)
        if (slot.thread.joinable())
            slot.thread.join();
    for (int* fd : {&m_listenFd, &m_httpsListenFd, &m_stopFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void HttpServer::AcceptLoop() {
    for (;;) {
        pollfd fds[3] = {{m_stopFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}, {m_httpsListenFd, POLLIN, 0}};
        const int count = m_httpsListenFd >= 0 ? 3 : 2;
        if (::poll(fds, nfds_t(count), -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            return;
        ReapFinished();
        if (fds[1].revents & POLLIN)
            Accept(m_listenFd, false);
        if (count == 3 && (fds[2].revents & POLLIN))
            Accept(m_httpsListenFd, true);
    }
}

void HttpServer::Accept(int listenFd, bool secure) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    const int on = 1; // streams are written in small pieces: no Nagle delay
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard lock(m_mutex);
    if (m_connections.size() >= kMaxConnections) {
        ::close(fd);
        return;
    }
    ConnectionSlot& slot = m_connections.emplace_back();
    slot.fd = fd;
    slot.thread = std::thread([this, &slot, secure] { Serve(slot, secure); });
}

void HttpServer::ReapFinished() {
    std::list<ConnectionSlot> finished;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            auto next = std::next(it);
            if (it->finished)
                finished.splice(finished.end(), m_connections, it);
            it = next;
        }
    }
    for (ConnectionSlot& slot : finished)
        slot.thread.join();
}

void HttpServer::Serve(ConnectionSlot& slot, bool fromHttpsPort) {
    {
        HttpExchange::Connection connection(slot.fd, m_stopFd);
        bool ready = true;
        if (fromHttpsPort) {
            ready = connection.StartTls(m_tls->Get());
        } else if (Faults().refusePlainHttp) {
            // An HTTPS-only camera: plain requests get no answer, a TLS
            // client hello on the same port is served.
            const bool tlsHello = m_tls && connection.PeekFirstByte() == kTlsHandshakeRecord;
            if (!tlsHello)
                ++m_refusedPlain;
            ready = tlsHello && connection.StartTls(m_tls->Get());
        }
        if (ready)
            ServeRequests(connection);
    }
    std::lock_guard lock(m_mutex);
    ::close(slot.fd);
    slot.fd = -1;
    slot.finished = true;
}

void HttpServer::ServeRequests(HttpExchange::Connection& connection) {
    for (;;) {
        ParsedHead parsed = ParseRequestHead(connection.pending);
        while (parsed.status == ParsedHead::Status::NeedMore) {
            if (!connection.ReadSome(connection.pending))
                return;
            parsed = ParseRequestHead(connection.pending);
        }
        if (parsed.status == ParsedHead::Status::Invalid) {
            connection.WriteAll(BuildHead(400, {{"Content-Length", "0"}, {"Connection", "close"}}));
            return;
        }
        connection.pending.erase(0, parsed.consumed);
        const std::optional<uint64_t> bodyLength = parsed.head.ContentLength();
        const bool hasCoding = parsed.head.HasHeader("Transfer-Encoding");
        const bool chunked = hasCoding && EqualsIgnoreCase(parsed.head.Header("Transfer-Encoding"), "chunked");
        // RFC 9112 6.1: only "chunked" is understood, and never beside a Content-Length.
        if (!bodyLength || (hasCoding && (!chunked || parsed.head.HasHeader("Content-Length")))) {
            connection.WriteAll(BuildHead(400, {{"Content-Length", "0"}, {"Connection", "close"}}));
            return;
        }
        const bool keepAlive = parsed.head.KeepAlive();
        HttpExchange exchange(connection, std::move(parsed.head), Faults(), *bodyLength, chunked,
                              [this](const HttpExchange& answered) { Record(answered); });
        Handle(exchange);
        if (exchange.m_status == 0)
            Record(exchange); // closed without an answer
        if (exchange.m_status == 0 || exchange.m_closeAfter || !keepAlive)
            return;
        std::string unread; // what the handler left of the body
        while (exchange.ReadBody(unread, kReadSize))
            unread.clear();
        if (exchange.m_bodyLeft != 0)
            return;
    }
}

bool HttpServer::WaitStop(uint32_t ms) const {
    pollfd fd{m_stopFd, POLLIN, 0};
    return ::poll(&fd, 1, int(ms)) == 1;
}

void HttpServer::Handle(HttpExchange& exchange) {
    if (m_outage && m_outage->Active() && !exchange.Head().path.starts_with("/camsim/"))
        return;
    const HttpFaults& faults = exchange.m_faults;
    if (faults.delayMs != 0 && WaitStop(faults.delayMs))
        return;
    if (faults.closeWithoutAnswer)
        return;
    const AuthMode mode = m_state->Auth();
    if (faults.always401) {
        const AuthMode challenge = mode == AuthMode::None ? AuthMode::Basic : mode;
        exchange.SendResponse(401, "", {{"WWW-Authenticate", m_authenticator.Challenge(challenge)}});
        return;
    }
    if (faults.status != 0) {
        exchange.SendResponse(int(faults.status), "");
        return;
    }
    if (!Authenticate(exchange))
        return;
    Dispatch(exchange);
}

bool HttpServer::Authenticate(HttpExchange& exchange) {
    const AuthMode mode = m_state->Auth();
    if (m_authenticator.Check(exchange.Head(), mode, m_state->User(), m_state->Password()))
        return true;
    exchange.SendResponse(401, "<html><body>401 Unauthorized</body></html>",
                          {{"WWW-Authenticate", m_authenticator.Challenge(mode)}, {"Content-Type", "text/html"}});
    return false;
}

void HttpServer::Dispatch(HttpExchange& exchange) {
    const std::string& path = exchange.Head().path;
    if (path == "/command/inquiry.cgi")
        return AnswerInquiry(exchange);
    if (path == "/command/camera.cgi")
        return AnswerCommand(exchange, CameraState::Cgi::Camera);
    if (path == "/command/system.cgi")
        return AnswerCommand(exchange, CameraState::Cgi::System);
    if (path == "/command/alarmout.cgi")
        return AnswerCommand(exchange, CameraState::Cgi::AlarmOut);
    if (path == "/command/motiondetection.cgi" && m_state->HasGroup("motiondetection"))
        return AnswerCommand(exchange, CameraState::Cgi::MotionDetection);
    if (path == "/command/masking.cgi" && m_state->HasGroup("masking"))
        return AnswerCommand(exchange, CameraState::Cgi::Masking);
    RouteHandler handler;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [prefix, route] : m_routes)
            if (path.starts_with(prefix))
                handler = route;
    }
    if (handler)
        return handler(exchange);
    exchange.SendResponse(404, "<html><body>404 Not Found</body></html>", {{"Content-Type", "text/html"}});
}

void HttpServer::AnswerInquiry(HttpExchange& exchange) {
    const std::vector<std::string> groups = InquiryGroups(exchange.Head().query);
    const std::string& failing = exchange.m_faults.failInquiry;
    if (!failing.empty() && std::find(groups.begin(), groups.end(), failing) != groups.end()) {
        exchange.SendResponse(500, "<html><body>500 Internal Server Error</body></html>", {{"Content-Type", "text/html"}});
        return;
    }
    const std::optional<std::string> answer = groups.empty() ? std::nullopt : m_state->Inquiry(groups);
    if (!answer) {
        exchange.SendResponse(404, "<html><body>404 Not Found</body></html>", {{"Content-Type", "text/html"}});
        return;
    }
    exchange.SendResponse(200, *answer, {{"Content-Type", "text/plain"}});
}

// Parameters come in the query of a GET or as the body of a POST.
void HttpServer::AnswerCommand(HttpExchange& exchange, CameraState::Cgi cgi) {
    std::string parameters = exchange.Head().query;
    std::string body;
    while (body.size() <= kMaxBodyBytes && exchange.ReadBody(body, kReadSize)) {
    }
    if (body.size() > kMaxBodyBytes) {
        exchange.SendResponse(413, "");
        return;
    }
    if (!body.empty())
        parameters += (parameters.empty() ? "" : "&") + body;
    KeyValueList decoded;
    for (const auto& [key, value] : SplitItems(parameters))
        decoded.emplace_back(PercentDecode(key), PercentDecode(value));
    m_state->ApplyCommand(cgi, decoded);
    exchange.SendResponse(200, "");
}

void HttpServer::Record(const HttpExchange& exchange) {
    const std::string authorization = exchange.Head().Header("Authorization");
    std::lock_guard lock(m_mutex);
    if (m_requests.size() == kMaxRecordedRequests)
        m_requests.erase(m_requests.begin());
    m_requests.push_back({exchange.Head().method, exchange.Head().target,
                          authorization.substr(0, authorization.find(' ')), exchange.IsSecure(), exchange.m_status});
}

void HttpServer::SetFaults(const HttpFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
}

HttpFaults HttpServer::Faults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

void HttpServer::AddRoute(std::string prefix, RouteHandler handler) {
    std::lock_guard lock(m_mutex);
    m_routes.emplace_back(std::move(prefix), std::move(handler));
}

std::vector<RequestRecord> HttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void HttpServer::ClearRequests() {
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

} // namespace camsim

// The camera's web server: CGI inquiries and commands, Basic and Digest
// authentication, optional HTTPS, faults on demand, and routes that other
// parts of camsim add (streams, uploads).
#pragma once

#include "Authenticator.h"
#include "CameraState.h"
#include "ChunkedBodyDecoder.h"
#include "HttpMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

typedef struct ssl_st SSL;

namespace camsim {

class OutageFault;
class TlsContext;

// Misbehaviour on demand, checked for every request in this order.
struct HttpFaults {
    uint32_t delayMs = 0;           // wait before answering
    bool closeWithoutAnswer = false; // read the request, then close the connection
    bool always401 = false;          // refuse every request with a challenge
    uint32_t status = 0;             // answer every request with this status (0: off)
    bool truncateBody = false;       // announce the whole body, send half of it, close
    bool refusePlainHttp = false;    // close plain connections on the HTTP port (TLS there still works)
    std::string failInquiry;         // inquiries naming this group ("sensor") answer 500
};

struct HttpServerOptions {
    std::string bindAddress = "127.0.0.1";
    uint16_t port = 0;      // 0: ephemeral
    bool https = false;     // also serve HTTPS (self-signed certificate)
    uint16_t httpsPort = 0; // 0: ephemeral
};

struct RequestRecord {
    std::string method;
    std::string target;
    std::string authScheme; // scheme word of the Authorization header, empty without one
    bool secure = false;
    int status = 0; // 0: closed without an answer
};

// One request as a route handler sees it; the handler answers through it.
class HttpExchange {
public:
    using HeaderList = std::vector<std::pair<std::string, std::string>>;

    const HttpRequestHead& Head() const { return m_head; }
    bool IsSecure() const;
    // Dotted IPv4 addresses of the client and of the camera's end of the
    // connection; empty when they cannot be read.
    std::string PeerAddress() const;
    std::string LocalAddress() const;
    // Appends up to maxBytes of the request body (a chunked body decoded);
    // false at its end or on error.
    bool ReadBody(std::string& out, size_t maxBytes);
    // The whole body came (its Content-Length, or a chunked body's last chunk).
    bool BodyComplete() const { return m_bodyLeft == 0; }
    // A complete answer with Content-Length (cut short under the truncate fault).
    bool SendResponse(int status, const std::string& body, const HeaderList& headers = {});
    // Only the head: the handler then streams with SendBytes and the
    // connection closes after the exchange.
    bool SendHead(int status, const HeaderList& headers);
    bool SendBytes(std::string_view data);
    // The server is stopping: streaming handlers end their loops.
    bool Stopping() const;
    int Status() const { return m_status; }

private:
    friend class HttpServer;
    class Connection;
    using AnswerHook = std::function<void(const HttpExchange&)>;
    // A chunked body has no length: bodyLength is then ignored.
    HttpExchange(Connection& connection, HttpRequestHead head, const HttpFaults& faults, uint64_t bodyLength,
                 bool chunked, AnswerHook onAnswer);
    bool ReadChunkedBody(std::string& out, size_t maxBytes);
    // Status set and the hook told before the first byte of an answer leaves,
    // so that a client that got its answer also finds the request recorded.
    void BeginAnswer(int status);

    Connection& m_connection;
    const HttpRequestHead m_head;
    const HttpFaults m_faults;
    uint64_t m_bodyLeft;
    std::optional<ChunkedBodyDecoder> m_chunked;
    AnswerHook m_onAnswer;
    int m_status = 0;
    bool m_closeAfter = false;
};

using RouteHandler = std::function<void(HttpExchange&)>;

class HttpServer {
public:
    // Request bodies of the built-in CGIs beyond this size are refused.
    static constexpr size_t kMaxBodyBytes = 1024 * 1024;
    static constexpr size_t kMaxConnections = 64;
    static constexpr size_t kMaxRecordedRequests = 10000;

    HttpServer(std::shared_ptr<CameraState> state, HttpServerOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool Start(std::string& error);
    // Stops accepting, ends every connection (also streaming ones) and joins.
    void Stop();

    uint16_t Port() const { return m_port; }
    uint16_t HttpsPort() const { return m_httpsPort; }

    void SetFaults(const HttpFaults& faults);
    HttpFaults Faults() const;
    // Requests whose path begins with prefix go to handler (after authentication).
    void AddRoute(std::string prefix, RouteHandler handler);
    // While the outage is active every request but the test hooks' is read
    // and left unanswered (the connection closes). Set before Start.
    void SetOutage(const OutageFault* outage) { m_outage = outage; }

    std::vector<RequestRecord> Requests() const;
    void ClearRequests();
    // Plain connections closed unanswered under refusePlainHttp.
    uint32_t RefusedPlainConnections() const { return m_refusedPlain; }

private:
    struct ConnectionSlot {
        std::thread thread;
        int fd = -1;
        std::atomic<bool> finished{false};
    };

    bool OpenListener(uint16_t port, int& fd, uint16_t& boundPort, std::string& error);
    void AcceptLoop();
    void Accept(int listenFd, bool secure);
    void ReapFinished();
    void Serve(ConnectionSlot& slot, bool fromHttpsPort);
    void ServeRequests(HttpExchange::Connection& connection);
    void Handle(HttpExchange& exchange);
    bool Authenticate(HttpExchange& exchange);
    void Dispatch(HttpExchange& exchange);
    void AnswerInquiry(HttpExchange& exchange);
    void AnswerCommand(HttpExchange& exchange, CameraState::Cgi cgi);
    void Record(const HttpExchange& exchange);
    bool WaitStop(uint32_t ms) const;

    const std::shared_ptr<CameraState> m_state;
    const HttpServerOptions m_options;
    Authenticator m_authenticator;
    std::unique_ptr<TlsContext> m_tls;
    const OutageFault* m_outage = nullptr;
    int m_listenFd = -1;
    int m_httpsListenFd = -1;
    int m_stopFd = -1; // eventfd, readable once Stop begins
    uint16_t m_port = 0;
    uint16_t m_httpsPort = 0;
    std::thread m_acceptThread;
    std::atomic<uint32_t> m_refusedPlain{0};

    mutable std::mutex m_mutex; // guards everything below
    HttpFaults m_faults;
    std::vector<std::pair<std::string, RouteHandler>> m_routes;
    std::vector<RequestRecord> m_requests;
    std::list<ConnectionSlot> m_connections;
};

} // namespace camsim

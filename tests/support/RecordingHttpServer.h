// An HTTP/1.1 server on 127.0.0.1 that records every request with its verb
// and body (POST commands included) and answers from a handler, one answer
// per connection. A handler may hold a request to play a camera that does not
// answer; Release ends every hold, and the destructor releases and joins.
#pragma once

#include "support/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvex::test {

struct RecordedRequest {
    std::string verb;
    std::string target;
    std::string body;
};

struct RecordedAnswer {
    uint32_t status = 200;
    std::string body;
};

class RecordingHttpServer {
public:
    using Handler = std::function<RecordedAnswer(const RecordedRequest&)>;
    static constexpr size_t kMaxRequestBytes = 64 * 1024;
    static constexpr int kPollMs = 10;
    static constexpr std::chrono::milliseconds kLongestHold{10000};

    explicit RecordingHttpServer(Handler handler) : m_handler(std::move(handler)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof(address);
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~RecordingHttpServer() {
        Release();
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener >= 0)
            ::close(m_listener);
    }
    RecordingHttpServer(const RecordingHttpServer&) = delete;
    RecordingHttpServer& operator=(const RecordingHttpServer&) = delete;

    uint16_t Port() const { return m_port; }
    std::vector<RecordedRequest> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // "VERB target" of every request, in order.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const RecordedRequest& request : Requests())
            lines.push_back(request.verb + " " + request.target);
        return lines;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_requests.clear();
    }
    // For a handler: waits (bounded) until Release.
    void Hold() const {
        for (auto end = std::chrono::steady_clock::now() + kLongestHold;
             !m_released.load() && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    void Release() { m_released.store(true); }

private:
    void Serve() {
        while (!m_stop.load()) {
            pollfd listener{m_listener, POLLIN, 0};
            if (::poll(&listener, 1, kPollMs) <= 0)
                continue;
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            RecordedRequest request;
            if (ReadRequest(connection, request)) {
                {
                    std::lock_guard lock(m_mutex);
                    m_requests.push_back(request);
                }
                WriteAnswer(connection, m_handler(request));
            }
            ::close(connection);
        }
    }

    bool ReadMore(int connection, std::string& data) const {
        char buffer[4096];
        pollfd readable{connection, POLLIN, 0};
        if (m_stop.load() || data.size() > kMaxRequestBytes)
            return false;
        if (::poll(&readable, 1, kPollMs) <= 0)
            return true;
        const ssize_t got = ::recv(connection, buffer, sizeof(buffer), 0);
        if (got <= 0)
            return false;
        data.append(buffer, size_t(got));
        return true;
    }

    bool ReadRequest(int connection, RecordedRequest& request) const {
        std::string data;
        size_t headEnd = std::string::npos;
        while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
            if (!ReadMore(connection, data))
                return false;
        const size_t verbEnd = data.find(' ');
        const size_t targetEnd = verbEnd == std::string::npos ? verbEnd : data.find(' ', verbEnd + 1);
        if (targetEnd == std::string::npos)
            return false;
        request.verb = data.substr(0, verbEnd);
        request.target = data.substr(verbEnd + 1, targetEnd - verbEnd - 1);
        const size_t lengthAt = data.find("Content-Length:");
        const size_t length = lengthAt < headEnd ? size_t(std::atol(data.c_str() + lengthAt + 15)) : 0;
        while (data.size() < headEnd + 4 + length)
            if (!ReadMore(connection, data))
                return false;
        request.body = data.substr(headEnd + 4, length);
        return true;
    }

    static void WriteAnswer(int connection, const RecordedAnswer& answer) {
        std::string text = "HTTP/1.1 " + std::to_string(answer.status) + " Answer\r\nContent-Type: text/plain\r\n";
        text += "Content-Length: " + std::to_string(answer.body.size()) + "\r\nConnection: close\r\n\r\n";
        text += answer.body;
        for (size_t sent = 0; sent < text.size();) {
            const ssize_t done = ::send(connection, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (done <= 0)
                return;
            sent += size_t(done);
        }
    }

    Handler m_handler;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_released{false};
    mutable std::mutex m_mutex;
    std::vector<RecordedRequest> m_requests;
    std::thread m_thread; // last: it serves from the members above
};

} // namespace talvex::test

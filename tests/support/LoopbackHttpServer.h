// A tiny HTTP/1.1 server on 127.0.0.1 for scripted cameras (settings, events):
// one answer per connection ("Connection: close"), answers from a handler,
// every request target recorded. Stops and joins in its destructor.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvex::test {

struct HttpAnswer {
    uint32_t status = 200;
    std::string body;
};

class LoopbackHttpServer {
public:
    using Handler = std::function<HttpAnswer(const std::string& target)>;
    static constexpr size_t kMaxRequestHead = 64 * 1024;
    static constexpr int kPollMs = 20;

    explicit LoopbackHttpServer(Handler handler) : m_handler(std::move(handler)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackHttpServer() {
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener >= 0)
            ::close(m_listener);
    }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    uint16_t Port() const { return m_port; }
    std::vector<std::string> Targets() const {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }
    void ClearTargets() {
        std::lock_guard lock(m_mutex);
        m_targets.clear();
    }

private:
    void Serve() {
        while (!m_stop.load()) {
            pollfd listener{m_listener, POLLIN, 0};
            if (::poll(&listener, 1, kPollMs) <= 0)
                continue;
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            std::string target;
            if (ReadTarget(connection, target)) {
                {
                    std::lock_guard lock(m_mutex);
                    m_targets.push_back(target);
                }
                WriteAnswer(connection, m_handler(target));
            }
            ::close(connection);
        }
    }

    bool ReadTarget(int connection, std::string& target) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd readable{connection, POLLIN, 0};
            if (m_stop.load() || head.size() > kMaxRequestHead)
                return false;
            if (::poll(&readable, 1, kPollMs) <= 0)
                continue;
            const ssize_t got = ::recv(connection, buffer, sizeof(buffer), 0);
            if (got <= 0)
                return false;
            head.append(buffer, size_t(got));
        }
        const size_t start = head.find(' ');
        const size_t end = start == std::string::npos ? start : head.find(' ', start + 1);
        if (end == std::string::npos)
            return false;
        target = head.substr(start + 1, end - start - 1);
        return true;
    }

    static void WriteAnswer(int connection, const HttpAnswer& answer) {
        std::string text = "HTTP/1.1 " + std::to_string(answer.status) + " Answer\r\nContent-Type: text/plain\r\n";
        text += "Content-Length: " + std::to_string(answer.body.size()) + "\r\nConnection: close\r\n\r\n";
        text += answer.body;
        size_t sent = 0;
        while (sent < text.size()) {
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
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_targets;
};

} // namespace talvex::test

#include "platform/CSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace talvex {

namespace {

std::atomic<int> g_startupCount{0};

SocketResult ResultOfFailedRead() {
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return SocketResult::TimedOut;
    return SocketResult::Failed;
}

} // namespace

void SocketStartup() {
    ++g_startupCount;
}

void SocketCleanup() {
    int count = g_startupCount.load();
    while (count > 0 && !g_startupCount.compare_exchange_weak(count, count - 1)) {
    }
}

int GetSocketStartupCount() {
    return g_startupCount.load();
}

bool ResolveIPv4(const std::string& host, uint16_t port, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    std::memcpy(&address, found->ai_addr, sizeof address);
    address.sin_port = htons(port);
    freeaddrinfo(found);
    return true;
}

std::string FormatIPv4(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

bool ParseIPv4(const std::string& text, in_addr& address) {
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

CSocket::~CSocket() {
    Close();
}

CSocket::CSocket(CSocket&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool CSocket::CreateTcp() {
    Close();
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return m_fd >= 0;
}

bool CSocket::CreateUdp() {
    Close();
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    return m_fd >= 0;
}

bool CSocket::SetOption(int level, int name, int value) {
    return setsockopt(m_fd, level, name, &value, sizeof value) == 0;
}

bool CSocket::SetTimeoutOption(int name, uint32_t milliseconds) {
    timeval value{};
    value.tv_sec = time_t(milliseconds / 1000);
    value.tv_usec = suseconds_t((milliseconds % 1000) * 1000);
    return setsockopt(m_fd, SOL_SOCKET, name, &value, sizeof value) == 0;
}

bool CSocket::SetNonBlocking(bool nonBlocking) {
    const int flags = fcntl(m_fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(m_fd, F_SETFL, wanted) == 0;
}

bool CSocket::Bind(in_addr_t addressNetworkOrder, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = addressNetworkOrder;
    address.sin_port = htons(port);
    return bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool CSocket::Listen(int backlog) {
    return listen(m_fd, backlog) == 0;
}

SocketResult CSocket::Accept(CSocket& accepted, sockaddr_in& peer, int stopFd, int timeoutMs) {
    const SocketResult waited = WaitReadable(stopFd, timeoutMs);
    if (waited != SocketResult::Data)
        return waited;
    socklen_t length = sizeof peer;
    const int fd = accept4(m_fd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0)
        return ResultOfFailedRead();
    accepted.Close();
    accepted.m_fd = fd;
    return SocketResult::Data;
}

uint16_t CSocket::GetLocalPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool CSocket::ConnectStepped(const sockaddr_in& address, uint32_t steps, uint32_t stepMs, int stopFd) {
    if (!SetNonBlocking(true))
        return false;
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS)
            return false;
        bool connected = false;
        for (uint32_t step = 0; step < steps && !connected; ++step) {
            const int ready = WaitFor(POLLOUT, stopFd, int(stepMs));
            if (ready == 0 || ready == -2)
                return false;
            if (ready == 1) {
                int error = 0;
                socklen_t length = sizeof error;
                if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                    return false;
                // The caller reads why the connect failed ("Connection refused") from errno.
                if (error != 0) {
                    errno = error;
                    return false;
                }
                connected = true;
            }
        }
        if (!connected) {
            errno = ETIMEDOUT;
            return false;
        }
    }
    return SetNonBlocking(false);
}

SocketResult CSocket::WaitReadable(int stopFd, int timeoutMs) const {
    switch (WaitFor(POLLIN, stopFd, timeoutMs)) {
    case 1:
        return SocketResult::Data;
    case 0:
        return SocketResult::Stopped;
    case -1:
        return SocketResult::TimedOut;
    default:
        return SocketResult::Broken;
    }
}

int CSocket::WaitFor(short events, int stopFd, int timeoutMs) const {
    pollfd fds[2] = {{m_fd, events, 0}, {stopFd, POLLIN, 0}};
    const nfds_t count = stopFd >= 0 ? 2 : 1;
    for (;;) {
        const int ready = poll(fds, count, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -2;
        if (ready == 0)
            return -1;
        if (count == 2 && (fds[1].revents & POLLIN))
            return 0;
        if (fds[0].revents & POLLNVAL)
            return -2;
        // POLLERR and POLLHUP also make the next call report what happened.
        return 1;
    }
}

SocketResult CSocket::Receive(std::span<uint8_t> buffer, size_t& received, int stopFd, int timeoutMs) {
    received = 0;
    const SocketResult waited = WaitReadable(stopFd, timeoutMs);
    if (waited != SocketResult::Data)
        return waited;
    const ssize_t count = recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (count < 0)
        return ResultOfFailedRead();
    if (count == 0)
        return SocketResult::Closed;
    received = size_t(count);
    return SocketResult::Data;
}

SocketResult CSocket::ReceiveFrom(std::span<uint8_t> buffer, size_t& received, sockaddr_in& from, int stopFd,
                                  int timeoutMs) {
    received = 0;
    const SocketResult waited = WaitReadable(stopFd, timeoutMs);
    if (waited != SocketResult::Data)
        return waited;
    iovec part{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t count = recvmsg(m_fd, &message, MSG_DONTWAIT);
    if (count < 0)
        return ResultOfFailedRead();
    received = size_t(count);
    return (message.msg_flags & MSG_TRUNC) ? SocketResult::Truncated : SocketResult::Data;
}

SocketResult CSocket::ReceiveNow(std::span<uint8_t> buffer, size_t& received) {
    received = 0;
    const ssize_t count = recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (count < 0)
        return ResultOfFailedRead();
    if (count == 0)
        return SocketResult::Closed;
    received = size_t(count);
    return SocketResult::Data;
}

SocketResult CSocket::ReceiveBatchNow(std::span<DatagramSlot> slots, size_t& filled) {
    filled = 0;
    constexpr size_t kMaxBatch = 64;
    const size_t count = std::min(slots.size(), kMaxBatch);
    iovec parts[kMaxBatch];
    mmsghdr messages[kMaxBatch];
    for (size_t i = 0; i < count; ++i) {
        parts[i] = iovec{slots[i].buffer.data(), slots[i].buffer.size()};
        messages[i] = mmsghdr{};
        messages[i].msg_hdr.msg_name = &slots[i].from;
        messages[i].msg_hdr.msg_namelen = sizeof slots[i].from;
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    int read = 0;
    do {
        read = recvmmsg(m_fd, messages, unsigned(count), MSG_DONTWAIT, nullptr);
    } while (read < 0 && errno == EINTR);
    if (read < 0)
        return ResultOfFailedRead();
    for (size_t i = 0; i < size_t(read); ++i) {
        slots[i].received = messages[i].msg_len;
        slots[i].truncated = (messages[i].msg_hdr.msg_flags & MSG_TRUNC) != 0;
    }
    filled = size_t(read);
    return SocketResult::Data;
}

bool CSocket::SendAll(std::span<const uint8_t> data, int stopFd, int timeoutMs) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (WaitFor(POLLOUT, stopFd, timeoutMs) != 1)
            return false;
        const ssize_t count = send(m_fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (count <= 0)
            return false;
        sent += size_t(count);
    }
    return true;
}

bool CSocket::SendTo(std::span<const uint8_t> data, const sockaddr_in& to) {
    const ssize_t count = sendto(m_fd, data.data(), data.size(), MSG_NOSIGNAL,
                                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return count == ssize_t(data.size());
}

void CSocket::Shutdown() {
    if (m_fd >= 0)
        shutdown(m_fd, SHUT_RDWR);
}

void CSocket::Close() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

} // namespace talvex

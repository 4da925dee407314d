// A POSIX IPv4 socket standing in for the Winsock calls of the streaming code.
// Every blocking operation polls the socket together with a stop descriptor
// (an eventfd, see CEvent::GetNativeHandle) so that an owner can end it.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace talvex {

// Winsock needs a start-up per user; here they only count, so that the code
// pairing them keeps its shape and tests can see the pairs balance.
void SocketStartup();
void SocketCleanup();
int GetSocketStartupCount();

// Resolves a host name or dotted address to an IPv4 socket address.
bool ResolveIPv4(const std::string& host, uint16_t port, sockaddr_in& address);
// Dotted form of the address, without the port.
std::string FormatIPv4(const sockaddr_in& address);
// Dotted IPv4 text to a network-order address; false for anything else.
bool ParseIPv4(const std::string& text, in_addr& address);

enum class SocketResult {
    Data,      // bytes were moved
    Truncated, // a datagram was larger than the buffer; its first bytes were read
    Closed,    // the peer closed the connection (read of 0)
    TimedOut,
    Stopped,   // the stop descriptor became readable
    Failed,    // the call failed; the socket may still work
    Broken,    // the socket cannot be waited on any more
};

// One slot of a batched datagram read: the caller's buffer in, the result out.
struct DatagramSlot {
    std::span<uint8_t> buffer;
    size_t received = 0;
    sockaddr_in from{};
    bool truncated = false; // the datagram was larger than the buffer; its first bytes are there
};

class CSocket {
public:
    static constexpr int kNoStop = -1;
    static constexpr int kInfinite = -1;

    CSocket() = default;
    ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    CSocket(CSocket&& other) noexcept;
    CSocket& operator=(CSocket&& other) noexcept;

    bool CreateTcp();
    bool CreateUdp();
    bool IsOpen() const { return m_fd >= 0; }
    int GetHandle() const { return m_fd; }

    bool SetOption(int level, int name, int value);
    // SO_RCVTIMEO / SO_SNDTIMEO in milliseconds.
    bool SetTimeoutOption(int name, uint32_t milliseconds);
    bool SetNonBlocking(bool nonBlocking);
    bool Bind(in_addr_t addressNetworkOrder, uint16_t port);
    bool Listen(int backlog);
    // Waits for a connection like Receive waits for data; the accepted socket is blocking.
    SocketResult Accept(CSocket& accepted, sockaddr_in& peer, int stopFd, int timeoutMs);
    uint16_t GetLocalPort() const;

    // Non-blocking connect; when it does not complete at once, writability is
    // awaited in `steps` waits of `stepMs` each. The socket is left blocking.
    // On failure errno tells why (ETIMEDOUT when the steps ran out).
    bool ConnectStepped(const sockaddr_in& address, uint32_t steps, uint32_t stepMs, int stopFd);

    SocketResult Receive(std::span<uint8_t> buffer, size_t& received, int stopFd, int timeoutMs);
    SocketResult ReceiveFrom(std::span<uint8_t> buffer, size_t& received, sockaddr_in& from, int stopFd,
                             int timeoutMs);
    // Reads whatever is queued without waiting (used to drain a closing socket).
    SocketResult ReceiveNow(std::span<uint8_t> buffer, size_t& received);
    // Reads the datagrams already queued, at most slots.size(), with one
    // recvmmsg and without waiting: Data with their count in `filled`,
    // TimedOut when none is queued, Failed otherwise.
    SocketResult ReceiveBatchNow(std::span<DatagramSlot> slots, size_t& filled);
    // Sends every byte, waiting for room within timeoutMs per wait.
    bool SendAll(std::span<const uint8_t> data, int stopFd, int timeoutMs);
    bool SendTo(std::span<const uint8_t> data, const sockaddr_in& to);

    // Ends both directions; wakes any thread polling the socket.
    void Shutdown();
    void Close();

private:
    // Data when readable, else why the wait ended.
    SocketResult WaitReadable(int stopFd, int timeoutMs) const;
    // 1 ready, 0 stopped, -1 time-out, -2 failure.
    int WaitFor(short events, int stopFd, int timeoutMs) const;

    int m_fd = -1;
};

} // namespace talvex

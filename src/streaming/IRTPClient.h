// A datagram socket with its own receiving thread, and the user it reports to.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <span>
#include <string>

namespace talvex {

class IRTPClient;

class IRTPClientUser {
public:
    virtual ~IRTPClientUser() = default;
    // Called on the client's thread for every datagram.
    virtual void OnData(IRTPClient* client, const sockaddr_in& fromAddress, std::span<const uint8_t> data) = 0;
    // Called after the datagrams that were queued together (one wake-up's worth)
    // were handed on: a user that passes them to another thread wakes it here, once.
    virtual void OnBatchEnd(IRTPClient*) {}
    // Called each time the select time-out passes without a datagram.
    virtual void OnReceiveTimeout(IRTPClient* client) = 0;
    virtual void OnClosed(IRTPClient* client) = 0;
};

class IRTPClient {
public:
    virtual ~IRTPClient() = default;
    virtual bool OpenMulticast(IRTPClientUser* user, const std::string& groupAddress, uint16_t port) = 0;
    virtual bool Open(IRTPClientUser* user, uint16_t port) = 0;
    virtual bool Close() = 0;
    virtual void SetBufferSize(uint32_t bytes) = 0;
    virtual void SetSelectTimeout(uint32_t milliseconds) = 0;
    virtual uint16_t GetLocalPort() const = 0;
};

} // namespace talvex

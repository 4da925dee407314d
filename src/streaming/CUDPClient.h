// IPv4 UDP socket (unicast or multicast) whose thread reads datagrams and
// hands them to its user.
#pragma once

#include "common/CBaseThread.h"
#include "platform/CSocket.h"
#include "streaming/IRTPClient.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace talvex {

class CUDPClient : public IRTPClient, private CBaseThread {
public:
    // A key frame of more than 1 MiB comes as one burst of some 800 datagrams;
    // 64 KiB of socket buffer hold about 30 of them, so the whole picture is
    // lost whenever the reader is late. Linux caps SO_RCVBUF at
    // net.core.rmem_max; SO_RCVBUFFORCE is tried first.
    static constexpr uint32_t SOCKET_RECEIVE_BUFFER = 4 * 1024 * 1024;
    static constexpr uint32_t RECEIVE_TIMEOUT_MS = 5000;
    static constexpr uint32_t SEND_TIMEOUT_MS = 1000;
    static constexpr uint32_t DEFAULT_SELECT_TIMEOUT_MS = 2000;
    static constexpr uint32_t DEFAULT_DATAGRAM_BUFFER = 8192;
    static constexpr uint32_t MAX_DATAGRAM_BUFFER = 65535;
    // A truncated datagram grows the buffer by this much for the next one.
    static constexpr uint32_t DATAGRAM_BUFFER_GROWTH = 1024;
    static constexpr int DRAIN_READS = 100;
    // After a wait, datagrams already queued are read in batches of this many
    // (one recvmmsg each), at most BATCH_ROUNDS batches before waiting again:
    // a picture's burst of packets costs one wake-up instead of one per packet.
    static constexpr size_t BATCH_DATAGRAMS = 16;
    static constexpr int BATCH_ROUNDS = 8;
    static constexpr size_t DRAIN_READ_BYTES = 1500;

    CUDPClient();
    ~CUDPClient() override;

    bool OpenMulticast(IRTPClientUser* user, const std::string& groupAddress, uint16_t port) override;
    bool Open(IRTPClientUser* user, uint16_t port) override;
    bool Close() override;
    void SetBufferSize(uint32_t bytes) override { m_datagramBufferSize = bytes; }
    void SetSelectTimeout(uint32_t milliseconds) override { m_selectTimeoutMs = milliseconds; }
    uint16_t GetLocalPort() const override { return m_boundPort; }
    bool SendTo(const sockaddr_in& address, std::span<const uint8_t> data);
    uint32_t GetBufferSize() const { return m_datagramBufferSize; }

private:
    bool OpenSocket(IRTPClientUser* user, const in_addr* group, uint16_t port);
    bool SetReceiveBuffer();
    void Run() override;
    // The slots' buffers, each as large as the datagram buffer size now asks.
    void SizeSlots(std::span<DatagramSlot> slots, std::unique_ptr<uint8_t[]>& storage, uint32_t& slotBytes);
    // Reads and hands on what is queued after the first datagram.
    void DrainQueued(std::span<DatagramSlot> slots);
    void GrowDatagramBuffer();
    void ReportClosed(IRTPClientUser* user);

    std::mutex m_lock; // open, close and send
    CSocket m_socket;
    IRTPClientUser* m_user = nullptr;
    bool m_multicastJoined = false;
    ip_mreq m_membership{};
    std::atomic<uint16_t> m_boundPort{0};
    std::atomic<uint32_t> m_datagramBufferSize{DEFAULT_DATAGRAM_BUFFER};
    std::atomic<uint32_t> m_selectTimeoutMs{DEFAULT_SELECT_TIMEOUT_MS};
    std::atomic<bool> m_stopping{false};
    // OnClosed goes to the user once, from the thread or from Close.
    std::atomic<bool> m_closedReported{false};
};

} // namespace talvex

// Receives RTP over UDP: its client's thread parses each datagram and queues
// it; a delivery thread hands the packets to the user in arrival order. The
// delivery thread is woken once per batch the client read (a picture's burst
// of packets), and not at all while it is still due to take the queue;
// delivered packets go back to a spare list, so the steady state allocates
// nothing per packet.
#pragma once

#include "common/CBaseThread.h"
#include "common/CEvent.h"
#include "common/TSmartPtr.h"
#include "streaming/CBatchSizeWindow.h"
#include "streaming/CRTPPacket.h"
#include "streaming/CUDPClient.h"
#include "streaming/IRTPReceiverUser.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace talvex {

class CRTPReceiver : public IRTPClientUser, private CBaseThread {
public:
    static constexpr uint32_t DATAGRAM_BUFFER_BYTES = 1536;
    static constexpr uint32_t SELECT_TIMEOUT_MS = 2000;
    static constexpr uint32_t DEFAULT_TIMEOUT_SECONDS = 5;
    // Packets waiting for the delivery thread; newer ones are dropped beyond it.
    static constexpr size_t MAX_QUEUED_PACKETS = 8192;
    static constexpr uint32_t IDLE_WAIT_MS = 1000;
    // Delivered packets kept for reuse (their byte buffers with them).
    static constexpr size_t MAX_SPARE_PACKETS = 256;
    // Spares and queue storage kept follow the recent batches
    // (CBatchSizeWindow): spares at most MAX_SPARE_PACKETS, queue storage at
    // least MIN_KEPT_QUEUE_CAPACITY; a surplus of SPARES_WORTH_RELEASING spares
    // or more releases them all and returns the freed memory.
    static constexpr size_t MIN_KEPT_QUEUE_CAPACITY = 64;
    static constexpr size_t SPARES_WORTH_RELEASING = 64;

    CRTPReceiver();
    ~CRTPReceiver() override;

    bool Open(uint16_t port);
    bool OpenMulticast(const std::string& groupAddress, uint16_t port);
    void Close();
    void SetUser(IRTPReceiverUser* user) { m_user = user; }
    void SetTimeout(uint32_t seconds);
    uint16_t GetLocalPort() const;

    void OnData(IRTPClient* client, const sockaddr_in& fromAddress, std::span<const uint8_t> data) override;
    void OnBatchEnd(IRTPClient* client) override;
    void OnReceiveTimeout(IRTPClient* client) override;
    void OnClosed(IRTPClient* client) override;

private:
    struct Item {
        sockaddr_in from;
        CRTPPacket packet;
    };

    template <class OpenClient>
    bool OpenWith(OpenClient openClient);
    bool IsCurrentClient(IRTPClient* client) const;
    Item TakeSpare();
    // Moves every queued packet into batch (emptied first); false when none was queued.
    bool TakeQueued(std::vector<Item>& batch);
    void ReturnSpares(std::vector<Item>& batch);
    void Deliver(const std::vector<Item>& batch);
    // Delivery thread only: remembers the batch size for the storage limits.
    void NoteBatchSize(size_t size);
    // Delivery thread only: storage beyond twice the recent largest batch goes back.
    size_t KeptQueueCapacity() const;
    void TrimSpares();
    void Run() override;

    mutable std::mutex m_lock; // the queue and the current client
    TSmartPtr<CUDPClient> m_client;
    std::vector<Item> m_queue;
    std::vector<Item> m_spares;
    bool m_wakePending = false; // the delivery thread was signalled and has not found the queue empty since
    CBatchSizeWindow m_recentBatches; // delivery thread only
    std::atomic<IRTPReceiverUser*> m_user{nullptr};
    std::atomic<uint32_t> m_timeoutSeconds{DEFAULT_TIMEOUT_SECONDS};
    std::atomic<bool> m_stopping{false};
    CEvent m_packetQueued{false};
};

} // namespace talvex

#include "streaming/CRTPReceiver.h"

#include "common/LatencyProbe.h"
#include "common/MemoryRelease.h"

#include <algorithm>
#include <chrono>

namespace talvex {

CRTPReceiver::CRTPReceiver() : CBaseThread(nullptr) {}

CRTPReceiver::~CRTPReceiver() {
    Close();
}

bool CRTPReceiver::Open(uint16_t port) {
    return OpenWith([&](CUDPClient& client) { return client.Open(this, port); });
}

bool CRTPReceiver::OpenMulticast(const std::string& groupAddress, uint16_t port) {
    return OpenWith([&](CUDPClient& client) { return client.OpenMulticast(this, groupAddress, port); });
}

template <class OpenClient>
bool CRTPReceiver::OpenWith(OpenClient openClient) {
    m_stopping = false;
    TSmartPtr<CUDPClient> client(new CUDPClient());
    TSmartPtr<CUDPClient> previous;
    {
        std::lock_guard lock(m_lock);
        previous = std::move(m_client);
        m_client = client;
    }
    // Closing the previous client calls back into this receiver: outside the lock.
    previous.Release();
    // Sized before the socket opens, so that the very first read uses them.
    client->SetBufferSize(DATAGRAM_BUFFER_BYTES);
    client->SetSelectTimeout(SELECT_TIMEOUT_MS);
    bool opened = openClient(*client);
    if (opened) {
        {
            std::lock_guard lock(m_lock);
            m_queue.clear();
            m_wakePending = false;
        }
        opened = StartThread("RTP Packet Queue (" + std::to_string(client->GetLocalPort()) + ")");
    }
    if (!opened)
        Close();
    return opened;
}

void CRTPReceiver::Close() {
    m_stopping = true;
    GetStopEvent().Set();
    TSmartPtr<CUDPClient> client;
    {
        std::lock_guard lock(m_lock);
        client = std::move(m_client);
    }
    if (client)
        client->Close();
    client.Release();
    {
        std::lock_guard lock(m_lock);
        m_queue.clear();
    }
    StopThread(std::max(m_timeoutSeconds.load() + 2, 5u) * 1000);
}

void CRTPReceiver::SetTimeout(uint32_t seconds) {
    m_timeoutSeconds = seconds;
    std::lock_guard lock(m_lock);
    if (m_client)
        m_client->SetSelectTimeout(seconds * 1000);
}

uint16_t CRTPReceiver::GetLocalPort() const {
    std::lock_guard lock(m_lock);
    return m_client ? m_client->GetLocalPort() : 0;
}

bool CRTPReceiver::IsCurrentClient(IRTPClient* client) const {
    std::lock_guard lock(m_lock);
    return m_client && static_cast<IRTPClient*>(m_client.Get()) == client;
}

CRTPReceiver::Item CRTPReceiver::TakeSpare() {
    std::lock_guard lock(m_lock);
    if (m_spares.empty())
        return Item{};
    Item item = std::move(m_spares.back());
    m_spares.pop_back();
    return item;
}

void CRTPReceiver::OnData(IRTPClient* client, const sockaddr_in& fromAddress, std::span<const uint8_t> data) {
    if (!IsCurrentClient(client))
        return;
    Item item = TakeSpare();
    item.from = fromAddress;
    if (!item.packet.Parse(data) || m_stopping)
        return;
    item.packet.SetArrivalNs(LatencyProbe::NowNs());
    std::lock_guard lock(m_lock);
    if (m_queue.size() < MAX_QUEUED_PACKETS)
        m_queue.push_back(std::move(item));
}

void CRTPReceiver::OnBatchEnd(IRTPClient* client) {
    if (!IsCurrentClient(client))
        return;
    {
        std::lock_guard lock(m_lock);
        if (m_queue.empty() || m_wakePending)
            return;
        m_wakePending = true;
    }
    m_packetQueued.Set();
}

void CRTPReceiver::OnReceiveTimeout(IRTPClient* client) {
    IRTPReceiverUser* user = m_user;
    if (user && IsCurrentClient(client))
        user->OnReceiveTimeout();
}

void CRTPReceiver::OnClosed(IRTPClient* client) {
    IRTPReceiverUser* user = m_user;
    if (user && IsCurrentClient(client))
        user->OnClosed();
}

bool CRTPReceiver::TakeQueued(std::vector<Item>& batch) {
    batch.clear();
    std::lock_guard lock(m_lock);
    m_queue.swap(batch);
    // Found empty: the next batch end signals again.
    if (batch.empty()) {
        m_wakePending = false;
        if (m_queue.capacity() > KeptQueueCapacity())
            std::vector<Item>().swap(m_queue);
    }
    return !batch.empty();
}

void CRTPReceiver::ReturnSpares(std::vector<Item>& batch) {
    std::lock_guard lock(m_lock);
    for (Item& item : batch) {
        if (m_spares.size() >= MAX_SPARE_PACKETS)
            break;
        m_spares.push_back(std::move(item));
    }
    batch.clear();
}

void CRTPReceiver::NoteBatchSize(size_t size) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    m_recentBatches.Note(size, uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

size_t CRTPReceiver::KeptQueueCapacity() const {
    return std::max(MIN_KEPT_QUEUE_CAPACITY, m_recentBatches.KeptEntries());
}

void CRTPReceiver::TrimSpares() {
    const size_t kept = std::min(MAX_SPARE_PACKETS, m_recentBatches.KeptEntries());
    std::vector<Item> released;
    {
        std::lock_guard lock(m_lock);
        if (m_spares.size() <= kept)
            return;
        if (m_spares.size() - kept < SPARES_WORTH_RELEASING) {
            m_spares.resize(kept);
            return;
        }
        // After a burst every spare goes, not only the surplus: the ones kept
        // would be scattered through the heap the burst grew and hold its
        // pages resident; packets allocated afresh come from the freed space.
        released.swap(m_spares);
    }
    released.clear();
    released.shrink_to_fit();
    ReleaseFreedMemory();
}

void CRTPReceiver::Deliver(const std::vector<Item>& batch) {
    for (const Item& item : batch) {
        IRTPReceiverUser* user = m_user;
        if (!user || m_stopping)
            return;
        try {
            user->OnRTPPacket(item.from, item.packet);
        } catch (...) {
            // A consumer's failure costs this packet only.
        }
    }
}

void CRTPReceiver::Run() {
    CEvent* events[] = {&GetStopEvent(), &m_packetQueued};
    std::vector<Item> batch;
    for (;;) {
        if (CEvent::WaitAny(events, 2, IDLE_WAIT_MS) == 0) {
            std::lock_guard lock(m_lock);
            m_queue.clear();
            return;
        }
        // Everything queued is delivered before the next wait: a batch end
        // that found a wake-up pending did not signal.
        while (TakeQueued(batch)) {
            NoteBatchSize(batch.size());
            Deliver(batch);
            ReturnSpares(batch);
        }
        // Storage first, so the memory trim after a spare release also takes it.
        if (batch.capacity() > KeptQueueCapacity())
            std::vector<Item>().swap(batch);
        TrimSpares();
    }
}

} // namespace talvex

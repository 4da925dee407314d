#include "streaming/CRTPReceiver.h"

#include <algorithm>

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

void CRTPReceiver::OnData(IRTPClient* client, const sockaddr_in& fromAddress, std::span<const uint8_t> data) {
    if (!IsCurrentClient(client))
        return;
    Item item{fromAddress, CRTPPacket()};
    if (!item.packet.Parse(data) || m_stopping)
        return;
    {
        std::lock_guard lock(m_lock);
        if (m_queue.size() >= MAX_QUEUED_PACKETS)
            return;
        m_queue.push_back(std::move(item));
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

std::optional<CRTPReceiver::Item> CRTPReceiver::TakeFront(bool& moreLeft) {
    std::lock_guard lock(m_lock);
    std::optional<Item> item;
    if (!m_queue.empty()) {
        item = std::move(m_queue.front());
        m_queue.pop_front();
    }
    moreLeft = !m_queue.empty();
    return item;
}

void CRTPReceiver::Run() {
    CEvent* events[] = {&GetStopEvent(), &m_packetQueued};
    bool moreLeft = false;
    for (;;) {
        const int fired = CEvent::WaitAny(events, 2, moreLeft ? 0 : IDLE_WAIT_MS);
        if (fired == 0) {
            std::lock_guard lock(m_lock);
            m_queue.clear();
            return;
        }
        const std::optional<Item> item = TakeFront(moreLeft);
        IRTPReceiverUser* user = m_user;
        if (!item || !user || m_stopping)
            continue;
        try {
            user->OnRTPPacket(item->from, item->packet);
        } catch (...) {
            // A consumer's failure costs this packet only.
        }
    }
}

} // namespace talvex

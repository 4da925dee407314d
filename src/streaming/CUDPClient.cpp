#include "streaming/CUDPClient.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <vector>

namespace talvex {

CUDPClient::CUDPClient() : CBaseThread(nullptr) {}

CUDPClient::~CUDPClient() {
    Close();
}

bool CUDPClient::Open(IRTPClientUser* user, uint16_t port) {
    return OpenSocket(user, nullptr, port);
}

bool CUDPClient::OpenMulticast(IRTPClientUser* user, const std::string& groupAddress, uint16_t port) {
    in_addr group{};
    if (!ParseIPv4(groupAddress, group)) {
        Close();
        return false;
    }
    return OpenSocket(user, &group, port);
}

bool CUDPClient::OpenSocket(IRTPClientUser* user, const in_addr* group, uint16_t port) {
    {
        std::lock_guard lock(m_lock);
        if (m_socket.IsOpen() || !m_socket.CreateUdp())
            return false;
        const bool configured =
            (!group || m_socket.SetOption(SOL_SOCKET, SO_REUSEADDR, 1)) &&
            SetReceiveBuffer() &&
            m_socket.SetTimeoutOption(SO_RCVTIMEO, RECEIVE_TIMEOUT_MS) &&
            m_socket.SetTimeoutOption(SO_SNDTIMEO, SEND_TIMEOUT_MS) && m_socket.Bind(htonl(INADDR_ANY), port);
        if (configured && group) {
            m_membership.imr_multiaddr = *group;
            m_membership.imr_interface.s_addr = htonl(INADDR_ANY);
            m_multicastJoined = setsockopt(m_socket.GetHandle(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &m_membership,
                                           sizeof m_membership) == 0;
        }
        if (!configured || (group && !m_multicastJoined)) {
            m_socket.Close();
            m_multicastJoined = false;
            return false;
        }
        m_user = user;
        m_boundPort = m_socket.GetLocalPort();
        m_stopping = false;
        m_closedReported = false;
    }
    if (!StartThread("UDP client thread, port " + std::to_string(m_boundPort.load()))) {
        Close();
        return false;
    }
    return true;
}

bool CUDPClient::SetReceiveBuffer() {
    // SO_RCVBUF is capped at net.core.rmem_max (208 KiB on a stock kernel);
    // a process allowed to (CAP_NET_ADMIN) gets the whole buffer regardless.
    return m_socket.SetOption(SOL_SOCKET, SO_RCVBUFFORCE, int(SOCKET_RECEIVE_BUFFER)) ||
           m_socket.SetOption(SOL_SOCKET, SO_RCVBUF, int(SOCKET_RECEIVE_BUFFER));
}

bool CUDPClient::Close() {
    m_stopping = true;
    GetStopEvent().Set();
    {
        std::lock_guard lock(m_lock);
        if (!m_socket.IsOpen())
            return false;
        if (m_multicastJoined)
            setsockopt(m_socket.GetHandle(), IPPROTO_IP, IP_DROP_MEMBERSHIP, &m_membership, sizeof m_membership);
        m_multicastJoined = false;
        m_socket.Shutdown();
    }
    const uint32_t waitMs =
        std::max(std::max(m_selectTimeoutMs.load(), std::max(RECEIVE_TIMEOUT_MS, SEND_TIMEOUT_MS)) + 1000, 5000u);
    StopThread(waitMs);

    IRTPClientUser* user = nullptr;
    {
        std::lock_guard lock(m_lock);
        // Datagrams still queued in the socket are read and dropped before it closes.
        std::vector<uint8_t> scratch(DRAIN_READ_BYTES);
        size_t received = 0;
        for (int i = 0; i < DRAIN_READS; ++i) {
            if (m_socket.ReceiveNow(scratch, received) != SocketResult::Data || received == 0)
                break;
        }
        m_socket.Close();
        user = m_user;
        m_user = nullptr;
    }
    ReportClosed(user);
    return true;
}

void CUDPClient::ReportClosed(IRTPClientUser* user) {
    if (user && !m_closedReported.exchange(true))
        user->OnClosed(this);
}

bool CUDPClient::SendTo(const sockaddr_in& address, std::span<const uint8_t> data) {
    std::lock_guard lock(m_lock);
    return m_socket.IsOpen() && m_socket.SendTo(data, address);
}

void CUDPClient::SizeSlots(std::span<DatagramSlot> slots, std::unique_ptr<uint8_t[]>& storage,
                           uint32_t& slotBytes) {
    const uint32_t wanted = std::min(m_datagramBufferSize.load(), MAX_DATAGRAM_BUFFER);
    if (wanted == slotBytes)
        return;
    // Left uninitialised: only the pages datagrams are read into are ever touched.
    storage.reset(new uint8_t[size_t(wanted) * slots.size()]);
    for (size_t i = 0; i < slots.size(); ++i)
        slots[i].buffer = std::span<uint8_t>(storage.get() + i * wanted, wanted);
    slotBytes = wanted;
}

void CUDPClient::GrowDatagramBuffer() {
    // The datagram is lost; the next one of this size fits.
    m_datagramBufferSize = std::min(m_datagramBufferSize.load() + DATAGRAM_BUFFER_GROWTH, MAX_DATAGRAM_BUFFER);
}

void CUDPClient::DrainQueued(std::span<DatagramSlot> slots) {
    for (int round = 0; round < BATCH_ROUNDS && !m_stopping; ++round) {
        size_t filled = 0;
        if (m_socket.ReceiveBatchNow(slots, filled) != SocketResult::Data)
            return;
        for (size_t i = 0; i < filled && !m_stopping; ++i) {
            if (slots[i].truncated)
                GrowDatagramBuffer();
            else
                m_user->OnData(this, slots[i].from, std::span<const uint8_t>(slots[i].buffer).first(slots[i].received));
        }
        if (filled < slots.size())
            return;
    }
}

void CUDPClient::Run() {
    std::array<DatagramSlot, BATCH_DATAGRAMS> slots;
    std::unique_ptr<uint8_t[]> storage;
    uint32_t slotBytes = 0;
    const int stopFd = GetStopEvent().GetNativeHandle();
    while (!m_stopping) {
        SizeSlots(slots, storage, slotBytes);
        DatagramSlot& first = slots[0];
        switch (m_socket.ReceiveFrom(first.buffer, first.received, first.from, stopFd, int(m_selectTimeoutMs.load()))) {
        case SocketResult::Data:
            if (m_stopping)
                break;
            m_user->OnData(this, first.from, std::span<const uint8_t>(first.buffer).first(first.received));
            DrainQueued(slots);
            m_user->OnBatchEnd(this);
            break;
        case SocketResult::TimedOut:
            if (!m_stopping)
                m_user->OnReceiveTimeout(this);
            break;
        case SocketResult::Truncated:
            GrowDatagramBuffer();
            break;
        case SocketResult::Broken:
            if (!m_stopping)
                ReportClosed(m_user);
            return;
        case SocketResult::Stopped:
            return;
        default: // a failed read of one datagram: go on with the next
            break;
        }
    }
}

} // namespace talvex

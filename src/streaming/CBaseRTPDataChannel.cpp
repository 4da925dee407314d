#include "streaming/CBaseRTPDataChannel.h"

#include "platform/CSocket.h"
#include "streaming/RTPPortPair.h"

namespace talvex {

CBaseRTPDataChannel::CBaseRTPDataChannel(IDriver* driver) : CBaseThread(driver), m_driver(driver) {
    sockaddr_in address{};
    if (ResolveIPv4(driver->GetDeviceInfo()->address, 0, address))
        m_cameraAddress = address.sin_addr.s_addr;
    m_lastDataMs = CRTCPHandler::NowMs();
}

CBaseRTPDataChannel::~CBaseRTPDataChannel() {
    StopThread(5000);
}

void CBaseRTPDataChannel::OnRTPPacket(const sockaddr_in& fromAddress, const CRTPPacket& packet) {
    if (fromAddress.sin_addr.s_addr != m_cameraAddress)
        return;
    m_lastDataMs = CRTCPHandler::NowMs();
    m_dataEvent.Set();
    m_rtcpHandler.OnPacket(packet.GetSequenceNumber(), packet.GetTimestamp(), packet.GetArrivalNs());
    PacketHook(packet);
}

bool CBaseRTPDataChannel::OpenReceivers(const std::string& groupAddress, uint16_t port) {
    m_receiver.SetUser(this);
    if (!m_receiver.OpenMulticast(groupAddress, port) ||
        !m_rtcpHandler.OpenMulticast(m_cameraAddress, groupAddress, uint16_t(port + 1)))
        return false;
    ReceiversOpened();
    return true;
}

bool CBaseRTPDataChannel::OpenReceiversAnyPort() {
    m_receiver.SetUser(this);
    if (!OpenRTPPortPair(m_receiver, m_rtcpHandler, m_cameraAddress, GetStopEvent(), m_dataEvent))
        return false;
    ReceiversOpened();
    return true;
}

void CBaseRTPDataChannel::CloseReceivers() {
    m_receiver.Close();
    m_rtcpHandler.Close();
    ReceiversClosed();
}

uint64_t CBaseRTPDataChannel::MsSinceLastData() const {
    return CRTCPHandler::NowMs() - m_lastDataMs.load();
}

bool CBaseRTPDataChannel::ConnectOnce() {
    CloseReceivers();
    m_dataEvent.Reset();
    if (ConnectHook() && OpenReceiversAnyPort())
        return true;
    CloseReceivers();
    return false;
}

void CBaseRTPDataChannel::Run() {
    const uint32_t firstTimeoutMs = m_driver->GetDeviceInfo()->firstTimeoutMs;
    ConnectOnce();
    CEvent& stop = GetStopEvent();
    while (!stop.Wait(TICK_MS)) {
        if (MsSinceLastData() < firstTimeoutMs) {
            KeepAliveHook();
            continue;
        }
        SignalLostHook();
        if (ConnectOnce()) {
            CEvent* signals[] = {&stop, &m_dataEvent};
            CEvent::WaitAny(signals, 2, firstTimeoutMs);
        }
    }
    CloseReceivers();
    StoppedHook();
}

} // namespace talvex

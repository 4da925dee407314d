// A worker that keeps one RTP stream over UDP running: it owns the receiver
// and the RTCP handler, reconnects when data stops, and lets the derived
// channel (audio input) supply the session steps through hooks.
#pragma once

#include "common/CBaseThread.h"
#include "common/CEvent.h"
#include "common/IDriver.h"
#include "streaming/CRTCPHandler.h"
#include "streaming/CRTPReceiver.h"

#include <atomic>
#include <string>

namespace talvex {

class CBaseRTPDataChannel : public IRTPReceiverUser, protected CBaseThread {
public:
    static constexpr uint32_t TICK_MS = 2000;

    explicit CBaseRTPDataChannel(IDriver* driver);
    ~CBaseRTPDataChannel() override;

    void OnRTPPacket(const sockaddr_in& fromAddress, const CRTPPacket& packet) override;
    void OnReceiveTimeout() override {}
    void OnClosed() override {}

protected:
    void Run() override;
    virtual bool OpenReceivers(const std::string& groupAddress, uint16_t port);
    virtual bool OpenReceiversAnyPort();
    virtual void CloseReceivers();
    // Prepares the camera before the ports are opened; false fails the connect.
    virtual bool ConnectHook() = 0;
    virtual void PacketHook(const CRTPPacket& packet) = 0;
    virtual void KeepAliveHook() = 0;
    virtual void ReceiversOpened() {}
    virtual void ReceiversClosed() {}
    virtual void SignalLostHook() {}
    virtual void StoppedHook() {}

    uint16_t GetReceiverPort() const { return m_receiver.GetLocalPort(); }
    uint16_t GetRtcpPort() const { return m_rtcpHandler.GetLocalPort(); }
    IDriver* GetDriver() const { return m_driver; }

private:
    bool ConnectOnce();
    uint64_t MsSinceLastData() const;

    IDriver* m_driver;
    uint32_t m_cameraAddress = 0; // IPv4, network order
    CRTPReceiver m_receiver;
    CRTCPHandler m_rtcpHandler;
    CManualEvent m_dataEvent;
    std::atomic<uint64_t> m_lastDataMs{0};
};

} // namespace talvex

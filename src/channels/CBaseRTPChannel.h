// A camera channel whose frames come as RTP packets: the receiver and its
// RTCP handler, the media clock, the frame path from the depacketisers and
// the worker that connects, watches the flow of frames and reconnects.
#pragma once

#include "streaming/CBaseRTSPClient.h"
#include "streaming/CRTCPHandler.h"
#include "streaming/CRTPReceiver.h"
#include "streaming/IRTPReceiverUser.h"
#include "channels/CBaseCameraChannel.h"
#include "channels/CStartFailureLog.h"
#include "video/CTimeStampConverter.h"
#include "video/IMediaParserClient.h"
#include "video/IMediaParserOwner.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace talvex {

class CBaseRTPChannel : public CBaseCameraChannel,
                        public IMediaParserClient,
                        public IMediaParserOwner,
                        public IRTPReceiverUser,
                        public IRTCPHandlerUser {
public:
    static constexpr uint32_t kKeepAliveIntervalMs = 30000;
    // Pause of the worker between passes: slow after a failed connect, fast otherwise.
    static constexpr uint32_t kSlowPassMs = 1000;
    static constexpr uint32_t kFastPassMs = 10;

    CBaseRTPChannel(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
                    uint32_t transportMode);
    ~CBaseRTPChannel() override;

    // IMediaParserClient
    bool DeliverFrame(ipcapture::IVideoFrame* frame) override;
    void GetConfiguredSize(uint16_t& width, uint16_t& height) override;
    void GetDeviceName(std::string& text) override;
    void ConvertTimestamp(uint32_t rtpTimestamp, CTime& time) override;

    // IMediaParserOwner
    IDebugMessage& GetLogger() override { return *m_driver; }
    const DEVICE_INFO& GetDeviceInfo() override { return *m_driver->GetDeviceInfo(); }
    ipcapture::IFrameAllocator* GetFrameAllocator() override { return m_driver->GetHostContext(); }

    // IRTPReceiverUser: only the camera's packets reach the channel.
    void OnRTPPacket(const sockaddr_in& fromAddress, const CRTPPacket& packet) override;
    void OnReceiveTimeout() override {}
    void OnClosed() override {}

    // IRTCPHandlerUser
    void OnPeerBye() override { m_connectionLostEvent.Set(); }

protected:
    void Run() override;
    virtual void KeepAliveTick();
    virtual bool StartSession() = 0;
    virtual void StopSession() = 0;
    virtual bool SetUpRTP();
    virtual bool KeepAlive() = 0;
    virtual bool PrepareDevice() = 0;
    virtual void ProcessPacket(const CRTPPacket& packet) = 0;
    // Runs before and after the host's part of frame delivery.
    virtual void BeforeFrameDelivery() {}
    virtual void AfterFrameDelivery() {}
    // Whether the worker runs the keep-alive tick while streaming.
    virtual bool WorkerKeepsAlive() const { return m_transportMode != RTSP_TRANSPORT_INTERLEAVED; }

    // The cause of the failing step of a start attempt, told by the step that
    // failed (the first cause of an attempt is kept: the deepest layer tells first).
    void SetStartFailure(std::string cause);

    // Suffix of the device name by stream kind ("::RecStream", ...).
    static const char* StreamSuffix(uint32_t kind);

    // T1 and T2 of the device record.
    uint32_t FirstTimeoutMs() const { return m_driver->GetDeviceInfo()->firstTimeoutMs; }
    uint32_t SecondTimeoutMs() const { return m_driver->GetDeviceInfo()->secondTimeoutMs; }

    const uint32_t m_transportMode;
    uint32_t m_cameraAddress = 0; // IPv4, network order; 0 when the address does not resolve
    CRTPReceiver m_receiver;
    CRTCPHandler m_rtcpHandler;
    CChannelTimer m_keepAliveTimer;
    CManualEvent m_connectionLostEvent;
    CEvent m_packetSeenEvent{false};
    // Packets signal m_packetSeenEvent only while the port pair is searched:
    // once streaming, an event write per packet would be pure cost.
    std::atomic<bool> m_searchingPorts{false};
    CManualEvent m_firstFrameEvent;
    uint64_t m_packetArrivalNs = 0; // of the packet being processed (packet thread only)

private:
    bool Connect();
    void Disconnect();
    // Logs the cause of the attempt that just failed (a stop is no failure).
    void ReportStartFailure();
    // Connects and waits for the first frame; returns the slow flag of the pass.
    bool ConnectAndWaitForFirstFrame();
    // The state step of one worker pass; returns the slow flag.
    bool RunPass();
    // True on stop; false on wake-up, connection lost or time-out.
    bool WaitForStop(uint32_t timeoutMs);

    CStartFailureLog m_startLog;
    std::string m_startFailure; // worker thread only
    // The first frame since the last connect was told to the start log.
    std::atomic<bool> m_frameSinceConnect{false};

    std::mutex m_converterLock;
    CTimeStampConverter m_timestampConverter;
};

} // namespace talvex

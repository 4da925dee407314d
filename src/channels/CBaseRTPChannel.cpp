#include "channels/CBaseRTPChannel.h"

#include "common/LatencyProbe.h"
#include "platform/CSocket.h"
#include "streaming/RTPPortPair.h"

#include <algorithm>

namespace talvex {

CBaseRTPChannel::CBaseRTPChannel(uint32_t channelIndex, IDriver* driver,
                                 ipcapture::IVideoChannelCallback* frameSink, uint32_t transportMode)
    : CBaseCameraChannel(channelIndex, driver, frameSink), m_transportMode(transportMode), m_startLog(*driver) {
    sockaddr_in address{};
    if (ResolveIPv4(driver->GetDeviceInfo()->address, 0, address))
        m_cameraAddress = address.sin_addr.s_addr;
}

CBaseRTPChannel::~CBaseRTPChannel() {
    StopThread();
}

bool CBaseRTPChannel::DeliverFrame(ipcapture::IVideoFrame* frame) {
    BeforeFrameDelivery();
    if (!m_frameSinceConnect.exchange(true))
        m_startLog.Started(StreamTitle());
    m_firstFrameEvent.Set();
    const bool delivered = HandOverFrame(frame);
    // Frames are completed by the packet being processed on this thread.
    LatencyProbe::RecordFrame(m_packetArrivalNs);
    AfterFrameDelivery();
    return delivered;
}

void CBaseRTPChannel::GetConfiguredSize(uint16_t& width, uint16_t& height) {
    const ChannelStartParameters parameters = GetStartParameters();
    width = parameters.width;
    height = parameters.height;
}

const char* CBaseRTPChannel::StreamSuffix(uint32_t kind) {
    switch (kind) {
    case kRecordingChannel:
        return "::RecStream";
    case kLiveChannel:
        return "::LiveStream";
    case kRemoteChannel:
        return "::RemoteStream";
    default:
        return "";
    }
}

void CBaseRTPChannel::SetStartFailure(std::string cause) {
    if (m_startFailure.empty())
        m_startFailure = std::move(cause);
}

void CBaseRTPChannel::ReportStartFailure() {
    if (!IsStopping())
        m_startLog.Failed(StreamTitle(), m_startFailure);
}

void CBaseRTPChannel::GetDeviceName(std::string& text) {
    text = m_driver->GetDeviceTag();
    text += StreamSuffix(GetStartParameters().kind);
}

void CBaseRTPChannel::ConvertTimestamp(uint32_t rtpTimestamp, CTime& time) {
    std::lock_guard lock(m_converterLock);
    time = m_timestampConverter.Convert(rtpTimestamp);
}

void CBaseRTPChannel::OnRTPPacket(const sockaddr_in& fromAddress, const CRTPPacket& packet) {
    // Another sender on our port (a stale stream, a stray peer) never reaches the depacketiser.
    if (fromAddress.sin_addr.s_addr != m_cameraAddress)
        return;
    if (m_searchingPorts.load(std::memory_order_relaxed))
        m_packetSeenEvent.Set();
    m_packetArrivalNs = packet.GetArrivalNs();
    ProcessPacket(packet);
}

bool CBaseRTPChannel::WaitForStop(uint32_t timeoutMs) {
    // A suspended channel ignores a lost connection until it resumes; waiting
    // on the set event would turn every pause into a busy loop.
    CEvent* events[] = {&m_stopEvent, &m_wakeEvent, &m_connectionLostEvent};
    return CEvent::WaitAny(events, IsSuspended() ? 2 : 3, timeoutMs) == 0;
}

void CBaseRTPChannel::Run() {
    m_startLog.Restart();
    m_lastFrameTimer.Restart();
    m_keepAliveTimer.Restart();
    bool stopped = WaitForStop(kFastPassMs);
    while (!stopped) {
        const bool slow = RunPass();
        stopped = WaitForStop(slow ? kSlowPassMs : kFastPassMs);
    }
    Disconnect();
    if (!IsSuspended()) {
        SetState(kChannelStopped);
        SetCameraState(false);
    }
}

bool CBaseRTPChannel::RunPass() {
    const uint32_t halfSecondTimeout = SecondTimeoutMs() / 2;
    switch (GetState()) {
    case kChannelStreaming:
        if (!IsSuspended() &&
            (m_lastFrameTimer.ElapsedMs() >= halfSecondTimeout || m_connectionLostEvent.Wait(0))) {
            SetState(kChannelSignalLost);
            return m_connectionLostEvent.Wait(0);
        }
        if (WorkerKeepsAlive())
            KeepAliveTick();
        return true;
    case kChannelSignalLost:
        if (m_lastFrameTimer.ElapsedMs() >= SecondTimeoutMs()) {
            NotifySignalLost();
            SetCameraState(false);
        }
        return ConnectAndWaitForFirstFrame();
    default:
        return ConnectAndWaitForFirstFrame();
    }
}

bool CBaseRTPChannel::ConnectAndWaitForFirstFrame() {
    if (!Connect()) {
        ReportStartFailure();
        return true;
    }
    const uint32_t firstFrameWaitMs = std::max(FirstTimeoutMs(), SecondTimeoutMs() / 2);
    CEvent* events[] = {&m_stopEvent, &m_firstFrameEvent};
    const int fired = CEvent::WaitAny(events, 2, firstFrameWaitMs);
    if (fired == 1)
        SetState(kChannelStreaming);
    if (fired == -1) {
        SetStartFailure("no frame within " + std::to_string(firstFrameWaitMs) + " ms after the stream started");
        ReportStartFailure();
    }
    // A session without a frame in time is replaced at once; a stop is seen by the next wait.
    return fired != -1;
}

bool CBaseRTPChannel::Connect() {
    Disconnect();
    // Notices of the session just closed must not end the next one.
    m_connectionLostEvent.Reset();
    m_firstFrameEvent.Reset();
    m_frameSinceConnect = false;
    m_startFailure.clear();
    if (!PrepareDevice()) {
        SetStartFailure("the camera could not be prepared for the stream");
        Disconnect();
        return false;
    }
    {
        std::lock_guard lock(m_converterLock);
        m_timestampConverter.Reset();
    }
    if (!SetUpRTP()) {
        SetStartFailure("no free RTP and RTCP port pair");
        Disconnect();
        return false;
    }
    if (!StartSession()) {
        SetStartFailure("the stream session did not start");
        Disconnect();
        return false;
    }
    return true;
}

void CBaseRTPChannel::Disconnect() {
    m_receiver.SetUser(nullptr);
    m_receiver.Close();
    m_rtcpHandler.SetUser(nullptr);
    m_rtcpHandler.Close();
    StopSession();
}

bool CBaseRTPChannel::SetUpRTP() {
    if (m_transportMode == RTSP_TRANSPORT_INTERLEAVED)
        return true;
    // Whole seconds, at least one: a zero time-out would make the receiver spin.
    m_receiver.SetTimeout(std::max<uint32_t>(1, FirstTimeoutMs() / 1000));
    m_receiver.SetUser(this);
    m_packetSeenEvent.Reset();
    m_searchingPorts = true;
    const bool opened = OpenRTPPortPair(m_receiver, m_rtcpHandler, m_cameraAddress, m_stopEvent, m_packetSeenEvent);
    m_searchingPorts = false;
    if (!opened)
        return false;
    m_rtcpHandler.SetUser(this);
    return true;
}

void CBaseRTPChannel::KeepAliveTick() {
    if (m_keepAliveTimer.ElapsedMs() <= kKeepAliveIntervalMs)
        return;
    KeepAlive();
    m_keepAliveTimer.Restart();
}

} // namespace talvex

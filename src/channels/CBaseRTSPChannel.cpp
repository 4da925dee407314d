#include "channels/CBaseRTSPChannel.h"

namespace talvex {
namespace {

constexpr uint32_t kRtspOk = 200;

} // namespace

CBaseRTSPChannel::CBaseRTSPChannel(uint32_t channelIndex, IDriver* driver,
                                   ipcapture::IVideoChannelCallback* frameSink, uint32_t transportMode)
    : CBaseRTPChannel(channelIndex, driver, frameSink, transportMode) {}

CBaseRTSPChannel::~CBaseRTSPChannel() {
    StopThread();
}

RTSPSessionParams CBaseRTSPChannel::BuildSessionParams() {
    const DEVICE_INFO& device = GetDeviceInfo();
    RTSPSessionParams params;
    params.host = device.address;
    params.user = device.user;
    params.password = device.password;
    params.connectTimeoutMs = device.firstTimeoutMs;
    params.rtpPort = m_receiver.GetLocalPort();
    params.rtcpPort = m_rtcpHandler.GetLocalPort();
    FillSessionParams(params);
    return params;
}

bool CBaseRTSPChannel::Request(uint32_t kind) {
    std::lock_guard lock(m_requestLock);
    return m_rtspClient.SendRequest(kind) && m_rtspClient.GetStatusCode() == kRtspOk;
}

bool CBaseRTSPChannel::ConnectClient(const RTSPSessionParams& params) {
    std::lock_guard lock(m_requestLock);
    return m_rtspClient.Connect(params, this, m_transportMode);
}

bool CBaseRTSPChannel::RequestPlay() {
    std::lock_guard lock(m_requestLock);
    const bool played = Request(RTSP_PLAY);
    if (m_transportMode != RTSP_TRANSPORT_INTERLEAVED || !played)
        return played;
    // Interleaved: PLAY came back because the stream ended. A stream that gave
    // frames counts as a session that broke; one that gave none as a failed start.
    if (!m_firstFrameEvent.Wait(0))
        return false;
    m_connectionLostEvent.Set();
    return true;
}

bool CBaseRTSPChannel::StartSession() {
    std::lock_guard lock(m_requestLock);
    const RTSPSessionParams params = BuildSessionParams();
    if (IsStopping() || !ConnectClient(params))
        return FailSession("RTSP connection failed");
    if (IsStopping() || !Request(RTSP_DESCRIBE))
        return FailSession("DESCRIBE failed");
    if (!AcceptsDescription())
        return false;
    OnDescription();
    if (!Request(RTSP_SETUP) || IsStopping())
        return FailSession("SETUP failed");
    m_rtspPaused = false;
    // Interleaved: a PLAY that came back without a frame left no failure of the client.
    return RequestPlay() || FailSession("the stream of PLAY ended without a frame");
}

bool CBaseRTSPChannel::FailSession(const char* fallback) {
    const std::string& cause = m_rtspClient.GetFailure();
    SetStartFailure(cause.empty() ? fallback : cause);
    return false;
}

void CBaseRTSPChannel::CloseSession() {
    std::lock_guard lock(m_requestLock);
    if (m_rtspClient.IsConnected())
        m_rtspClient.SendRequest(RTSP_TEARDOWN);
    m_rtspClient.Disconnect();
}

void CBaseRTSPChannel::StopSession() {
    CloseSession();
}

bool CBaseRTSPChannel::KeepAlive() {
    if (IsStopping())
        return false;
    return Request(RTSP_GET_PARAMETER);
}

void CBaseRTSPChannel::KeepAliveTick() {
    SyncPause(false);
    if (IsSuspended())
        return;
    uint32_t intervalMs = 0;
    {
        std::lock_guard lock(m_requestLock);
        intervalMs = m_rtspClient.GetKeepAliveIntervalMs();
    }
    if (m_keepAliveTimer.ElapsedMs() <= intervalMs / 2)
        return;
    KeepAlive();
    m_keepAliveTimer.Restart();
}

void CBaseRTSPChannel::Interrupt() {
    // Only a request in progress blocks the worker; between requests it waits
    // on the stop event and still tears its session down on the way out.
    if (m_requestLock.try_lock()) {
        m_requestLock.unlock();
        return;
    }
    m_rtspClient.Disconnect();
}

bool CBaseRTSPChannel::Play() {
    return RequestPlay();
}

bool CBaseRTSPChannel::Pause() {
    return Request(RTSP_PAUSE);
}

void CBaseRTSPChannel::SyncPause(bool wantPaused) {
    if (m_rtspPaused == wantPaused || IsSuspended() != wantPaused)
        return;
    std::lock_guard lock(m_requestLock);
    if (m_rtspPaused == wantPaused || IsSuspended() != wantPaused || GetState() != kChannelStreaming)
        return;
    // Taken before the request: an interleaved PLAY runs the stream inside it,
    // and its frames must not ask for the same change again.
    m_rtspPaused = wantPaused;
    if (wantPaused ? Pause() : Play())
        return;
    SetState(kChannelSignalLost);
    m_rtspPaused = false;
    if (m_lastFrameTimer.ElapsedMs() >= SecondTimeoutMs()) {
        NotifySignalLost();
        SetCameraState(false);
    }
}

void CBaseRTSPChannel::BeforeFrameDelivery() {
    // Interleaved: the worker sits in PLAY while the stream runs and cannot
    // see the first frame; the packet path marks the channel streaming.
    if (m_transportMode == RTSP_TRANSPORT_INTERLEAVED && !IsStopping() && GetState() != kChannelStreaming)
        SetState(kChannelStreaming);
    SyncPause(true);
}

void CBaseRTSPChannel::AfterFrameDelivery() {
    if (m_transportMode == RTSP_TRANSPORT_INTERLEAVED)
        KeepAliveTick();
}

bool CBaseRTSPChannel::WorkerKeepsAlive() const {
    // Interleaved streams are kept alive from the packet path; a paused one
    // has no packets, so the worker resumes it.
    return m_transportMode != RTSP_TRANSPORT_INTERLEAVED || m_rtspPaused;
}

} // namespace talvex

#include "audio/CBaseAudioRTSPChannel.h"

#include "common/StringFormat.h"
#include "platform/CSocket.h"
#include "streaming/CRTCPHandler.h"
#include "streaming/CSDPResponseParser.h"

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kInformationLevel = 3;
constexpr uint32_t kRtspOk = 200;
// Generation 5 cameras serve their session under another path.
constexpr uint32_t kMediaPathGeneration = 5;
constexpr const char* kSetDeviceState = "talvex::CBaseAudioRTSPChannel::SetDeviceState";
constexpr const char* kSessionMethod = "talvex::CBaseAudioRTSPChannel::StartRtspSession";

} // namespace

CBaseAudioRTSPChannel::CBaseAudioRTSPChannel(IDriver* driver, uint32_t channel, uint32_t id,
                                             ipcapture::IAudioCaptureCallback* callback)
    : CBaseRTPDataChannel(driver),
      m_logger(driver),
      m_status(kInputStatusEdges,
               [this](uint32_t status) {
                   if (m_callback)
                       m_callback->OnStatusChanged(m_id, status);
               }),
      m_id(id),
      m_channel(channel),
      m_callback(callback) {}

CBaseAudioRTSPChannel::~CBaseAudioRTSPChannel() = default;

bool CBaseAudioRTSPChannel::StartChannel() {
    std::lock_guard lock(m_startStopLock);
    StopRun();
    SocketStartup();
    if (StartThread(kThreadName)) {
        m_socketsStarted = true;
        return true;
    }
    SocketCleanup();
    return false;
}

bool CBaseAudioRTSPChannel::StopChannel() {
    std::lock_guard lock(m_startStopLock);
    StopRun();
    return true;
}

void CBaseAudioRTSPChannel::StopRun() {
    GetStopEvent().Set();
    // A request in progress (an interleaved PLAY holds the worker for the
    // whole stream) is ended by closing the connection; between requests the
    // worker sees the stop and still tears its session down.
    if (!m_requestLock.try_lock())
        m_rtspClient.Disconnect();
    else
        m_requestLock.unlock();
    StopThread(kStopWaitFactor * GetDriver()->GetDeviceInfo()->firstTimeoutMs);
    if (m_socketsStarted)
        SocketCleanup();
    m_socketsStarted = false;
}

std::string CBaseAudioRTSPChannel::DeviceText() const {
    const std::string& address = GetDriver()->GetDeviceInfo()->address;
    if (GetDriver()->GetVideoChannelCount() > 1)
        return FormatString("video-server %s (channel %u)", address.c_str(), m_channel);
    return FormatString("camera %s", address.c_str());
}

void CBaseAudioRTSPChannel::SetDeviceState(bool ok) {
    std::lock_guard lock(m_deviceStateLock);
    if (ok == m_signalOk)
        return;
    m_signalOk = ok;
    const std::string device = DeviceText();
    IDriver* driver = GetDriver();
    if (ok) {
        driver->DebugMessage(kInformationLevel, "%s: Audio signal from %s is OK", kSetDeviceState, device.c_str());
        return;
    }
    switch (m_status.Get()) {
    case ipcapture::ChannelStopped:
        driver->DebugMessage(kInformationLevel, "%s: Audio channel was stopped for %s", kSetDeviceState, device.c_str());
        break;
    case ipcapture::ChannelFailed:
        driver->DebugMessage(kErrorLevel, "%s: Error occurs in audio channel for %s", kSetDeviceState, device.c_str());
        break;
    case ipcapture::ChannelSignalLost:
        driver->DebugMessage(kErrorLevel, "%s: Audio signal was lost for %s", kSetDeviceState, device.c_str());
        break;
    default:
        driver->DebugMessage(kWarningLevel, "%s: Unexpected channel status for %s", kSetDeviceState, device.c_str());
        break;
    }
}

RTSPSessionParams CBaseAudioRTSPChannel::BuildSessionParams(uint16_t rtspPort) const {
    const DEVICE_INFO& device = *GetDriver()->GetDeviceInfo();
    RTSPSessionParams params;
    params.host = device.address;
    params.user = device.user;
    params.password = device.password;
    params.connectTimeoutMs = device.firstTimeoutMs;
    params.rtpPort = GetReceiverPort();
    params.rtcpPort = GetRtcpPort();
    params.port = rtspPort;
    params.mediaIndex = SDP_MEDIA_AUDIO;
    params.path = device.generation == kMediaPathGeneration ? "media/video1/" : "video1";
    return params;
}

bool CBaseAudioRTSPChannel::Request(uint32_t kind) {
    std::lock_guard lock(m_requestLock);
    return m_rtspClient.SendRequest(kind) && m_rtspClient.GetStatusCode() == kRtspOk;
}

bool CBaseAudioRTSPChannel::HasAudioTrack() const {
    // A record the description did not fill has no m= line behind it.
    return !m_rtspClient.GetMediaRecord(SDP_MEDIA_AUDIO).protocol.empty();
}

bool CBaseAudioRTSPChannel::StartRtspSession(uint16_t rtspPort, uint32_t transportMode) {
    std::lock_guard lock(m_requestLock);
    bool started = !IsStopRequested() && m_rtspClient.Connect(BuildSessionParams(rtspPort), this, transportMode);
    started = started && !IsStopRequested() && Request(RTSP_DESCRIBE);
    // Without an audio track SETUP would name the whole session and bring the
    // video into the audio receiver.
    const bool noTrack = started && !HasAudioTrack();
    started = started && !noTrack && !IsStopRequested() && Request(RTSP_SETUP);
    if (started && !IsStopRequested()) {
        m_keepAliveMs = CRTCPHandler::NowMs();
        started = Request(RTSP_PLAY);
        if (!started && !IsStopRequested())
            Request(RTSP_TEARDOWN);
    } else {
        started = false;
    }
    if (started) {
        SetStatus(ipcapture::ChannelRunning);
        m_keepAliveMs = CRTCPHandler::NowMs();
        m_logger.ResetLastMessage();
    } else if (!IsStopRequested()) {
        LogSessionFailure(noTrack ? "the session description has no audio track" : m_rtspClient.GetFailure());
        SetStatus(ipcapture::ChannelSignalLost);
    }
    return started;
}

void CBaseAudioRTSPChannel::LogSessionFailure(const std::string& cause) {
    m_logger.Log(kErrorLevel, "%s: The audio stream of %s cannot start: %s", kSessionMethod, DeviceText().c_str(),
                 cause.empty() ? "the camera refused the session" : cause.c_str());
}

void CBaseAudioRTSPChannel::CloseRtspSession() {
    std::lock_guard lock(m_requestLock);
    if (m_rtspClient.IsConnected())
        m_rtspClient.SendRequest(RTSP_TEARDOWN);
    m_rtspClient.Disconnect();
}

void CBaseAudioRTSPChannel::KeepAliveCheck() {
    uint32_t intervalMs = 0;
    {
        std::lock_guard lock(m_requestLock);
        intervalMs = m_rtspClient.GetKeepAliveIntervalMs();
    }
    if (CRTCPHandler::NowMs() - m_keepAliveMs.load() <= intervalMs * 2 / 3)
        return;
    Request(RTSP_GET_PARAMETER);
    m_keepAliveMs = CRTCPHandler::NowMs();
}

} // namespace talvex

#include "channels/CBaseCameraChannel.h"

#include "platform/CSocket.h"
#include "video/FrameTypes.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <system_error>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kInformationLevel = 3;
// The stop request is repeated at this interval while the worker winds down,
// so that a blocking call entered just after the first request is broken too.
constexpr uint32_t kInterruptRepeatMs = 100;

const char* KindWord(uint32_t kind) {
    switch (kind) {
    case kRecordingChannel:
        return "Recording";
    case kLiveChannel:
        return "Live";
    case kRemoteChannel:
        return "Remote";
    default:
        return "";
    }
}

} // namespace

CBaseCameraChannel::CBaseCameraChannel(uint32_t channelIndex, IDriver* driver,
                                       ipcapture::IVideoChannelCallback* frameSink)
    : m_driver(driver), m_frameSink(frameSink), m_channelIndex(channelIndex) {}

CBaseCameraChannel::~CBaseCameraChannel() {
    // The worker ran derived code and was stopped by the derived destructor.
    std::lock_guard lock(m_threadLock);
    if (m_thread.joinable())
        m_thread.join();
    ReleaseSockets();
}

void CBaseCameraChannel::SetPictureSize(uint16_t width, uint16_t height) {
    std::lock_guard lock(m_sizeLock);
    m_requestedWidth = width;
    m_requestedHeight = height;
}

bool CBaseCameraChannel::Start(const ChannelStartParameters& parameters) {
    if (IsWorkerRunning())
        return false;
    SetStartParameters(parameters);
    if (!m_socketsStarted) {
        SocketStartup();
        m_socketsStarted = true;
    }
    if (StartThread())
        return true;
    ReleaseSockets();
    return false;
}

void CBaseCameraChannel::Stop() {
    StopThread();
    SetState(kChannelStopped);
    SetCameraState(false);
    ReleaseSockets();
}

bool CBaseCameraChannel::Restart(const ChannelStartParameters& parameters) {
    ChannelStartParameters next = parameters;
    next.secondValue = GetStartParameters().secondValue;
    StopThread();
    SetStartParameters(next);
    return StartThread();
}

bool CBaseCameraChannel::Suspend() {
    bool expected = false;
    return m_suspended.compare_exchange_strong(expected, true);
}

bool CBaseCameraChannel::Resume() {
    if (!m_suspended)
        return false;
    if (GetState() == kChannelStreaming)
        m_lastFrameTimer.Restart();
    m_suspended = false;
    m_wakeEvent.Set();
    return true;
}

uint32_t CBaseCameraChannel::GetState() {
    std::lock_guard lock(m_stateLock);
    return m_state;
}

void CBaseCameraChannel::SetState(uint32_t state) {
    std::lock_guard lock(m_stateLock);
    m_state = state;
}

std::pair<uint16_t, uint16_t> CBaseCameraChannel::GetPictureSize() {
    std::lock_guard lock(m_sizeLock);
    if (m_requestedWidth > 0 && m_requestedHeight > 0)
        return {m_requestedWidth, m_requestedHeight};
    return {m_startParameters.width, m_startParameters.height};
}

ChannelStartParameters CBaseCameraChannel::GetStartParameters() const {
    std::lock_guard lock(m_sizeLock);
    return m_startParameters;
}

void CBaseCameraChannel::SetStartParameters(const ChannelStartParameters& parameters) {
    std::lock_guard lock(m_sizeLock);
    m_startParameters = parameters;
}

std::string CBaseCameraChannel::GetChannelName() const {
    const std::string& address = m_driver->GetDeviceInfo()->address;
    const char* kind = KindWord(GetStartParameters().kind);
    if (m_driver->GetVideoChannelCount() > 1)
        return "Video-server " + address + " (channel " + std::to_string(m_channelIndex) + ", " + kind + ")";
    return "Camera " + address + " (" + kind + ")";
}

std::string CBaseCameraChannel::StreamTitle() const {
    const std::string kind = KindWord(GetStartParameters().kind);
    return (kind.empty() ? "Video" : kind) + " stream of device " + m_driver->GetDeviceTag();
}

void CBaseCameraChannel::SetCameraState(bool online) {
    static constexpr const char* kMethod = "talvex::CBaseCameraChannel::SetCameraState";
    // Read before the announcement lock, which is taken last and alone.
    std::string name = GetChannelName();
    const uint32_t state = GetState();
    std::lock_guard lock(m_announceLock);
    if (online == m_online)
        return;
    m_online = online;
    if (online) {
        m_driver->DebugMessage(kInformationLevel, "%s: %s is online", kMethod, name.c_str());
        return;
    }
    switch (state) {
    case kChannelSignalLost:
        name[0] = char(std::tolower(static_cast<unsigned char>(name[0])));
        m_driver->DebugMessage(kErrorLevel, "%s: Signal was lost for %s", kMethod, name.c_str());
        break;
    case kChannelStopped:
        m_driver->DebugMessage(kInformationLevel, "%s: %s is offline. Channel was stopped", kMethod, name.c_str());
        break;
    default:
        m_driver->DebugMessage(kErrorLevel, "%s: %s is offline or failed", kMethod, name.c_str());
        break;
    }
}

void CBaseCameraChannel::NotifySignalLost() {
    if (m_frameSink)
        m_frameSink->OnSignalLost();
    if (IEdgeStorageCallback* monitor = m_edgeMonitor.load())
        monitor->OnSignalLost(m_channelIndex);
}

bool CBaseCameraChannel::IsKeyFrame(uint32_t typeCode) {
    return typeCode == kTypeH264KeyFrame || typeCode == kTypeMpeg4KeyFrame || typeCode == kTypeJpeg;
}

bool CBaseCameraChannel::HandOverFrame(ipcapture::IVideoFrame* frame) {
    if (IsKeyFrame(frame->GetTypeCode()))
        SetPictureSize(frame->GetWidth(), frame->GetHeight());
    // A suspended channel drops frames; the depacketiser counts them as delivered.
    if (m_suspended)
        return true;
    bool taken = false;
    try {
        taken = m_frameSink && m_frameSink->OnFrame(frame);
        if (taken)
            Notify_SendFrameCallback(frame);
    } catch (...) {
        m_driver->DebugMessage(kErrorLevel, "%s: Unhandled exception in driver instance for device %s",
                               "talvex::CBaseCameraChannel::Notify_SendFrameCallback",
                               m_driver->GetDeviceTag().c_str());
    }
    if (!taken)
        return false;
    m_lastFrameTimer.Restart();
    SetCameraState(true);
    return true;
}

void CBaseCameraChannel::Notify_SendFrameCallback(ipcapture::IVideoFrame* frame) {
    if (IEdgeStorageCallback* monitor = m_edgeMonitor.load())
        monitor->OnFrameTime(m_channelIndex, frame->GetTime());
}

uint32_t CBaseCameraChannel::GetStopLimitMs() const {
    return kStopWaitFactor * std::max(kMinimumStopBaseMs, m_driver->GetDeviceInfo()->firstTimeoutMs);
}

bool CBaseCameraChannel::IsWorkerRunning() const {
    return !m_finished.load();
}

bool CBaseCameraChannel::StartThread() {
    std::lock_guard lock(m_threadLock);
    if (m_thread.joinable()) {
        if (!m_finished.load())
            return false;
        m_thread.join();
    }
    m_stopEvent.Reset();
    m_finishedEvent.Reset();
    m_finished = false;
    try {
        m_thread = std::thread(&CBaseCameraChannel::ThreadEntry, this);
    } catch (const std::system_error&) {
        m_finished = true;
        m_finishedEvent.Set();
        return false;
    }
    return true;
}

void CBaseCameraChannel::ThreadEntry() {
    m_threadId = uint32_t(::gettid());
    try {
        Run();
    } catch (const std::exception& error) {
        m_driver->DebugMessage(kErrorLevel, "%s: Video capture thread for device %s ended by an exception: %s",
                               "talvex::CBaseCameraChannel::ThreadEntry", m_driver->GetDeviceTag().c_str(),
                               error.what());
    } catch (...) {
        m_driver->DebugMessage(kErrorLevel, "%s: Video capture thread for device %s ended by an unknown exception",
                               "talvex::CBaseCameraChannel::ThreadEntry", m_driver->GetDeviceTag().c_str());
    }
    m_finished = true;
    m_finishedEvent.Set();
}

void CBaseCameraChannel::StopThread() {
    m_stopEvent.Set();
    std::lock_guard lock(m_threadLock);
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id())
        return; // the worker itself: it leaves its loop at the next wait
    const uint32_t limitMs = GetStopLimitMs();
    const CChannelTimer waited;
    bool finished = false;
    while (!finished && waited.ElapsedMs() < limitMs) {
        Interrupt();
        finished = m_finishedEvent.Wait(kInterruptRepeatMs);
    }
    if (!finished) {
        m_driver->DebugMessage(kWarningLevel,
                               "%s: Unable to stop video capture thread (id=%u) for device %s during %u milliseconds!",
                               "talvex::CBaseCameraChannel::StopThread", m_threadId.load(),
                               m_driver->GetDeviceInfo()->address.c_str(), limitMs);
        SetState(kChannelNotStopped);
        m_finishedEvent.Wait(CEvent::kInfinite);
    }
    m_thread.join();
}

void CBaseCameraChannel::ReleaseSockets() {
    if (!m_socketsStarted)
        return;
    SocketCleanup();
    m_socketsStarted = false;
}

} // namespace talvex

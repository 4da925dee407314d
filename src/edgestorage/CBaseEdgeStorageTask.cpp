#include "edgestorage/CBaseEdgeStorageTask.h"

#include "video/FrameTypes.h"

namespace talvex {

CBaseEdgeStorageTask::CBaseEdgeStorageTask(IEdgeStorageTaskUser& user, IDriver* driver)
    : m_user(user), m_driver(driver) {}

void CBaseEdgeStorageTask::Start(uint32_t channel, uint64_t begin, uint64_t end) {
    m_channel = channel;
    m_end = end;
    SetProgress(begin);
    m_finishedEvent.Reset();
    m_stopEvent.Reset();
    OnStart();
}

void CBaseEdgeStorageTask::StopChannel(uint32_t channel) {
    if (channel == m_channel)
        Abort();
}

void CBaseEdgeStorageTask::Abort() {
    m_stopEvent.Set();
    OnAbort();
}

uint64_t CBaseEdgeStorageTask::GetProgress() {
    std::lock_guard lock(m_progressLock);
    return m_progress;
}

void CBaseEdgeStorageTask::BeginReplay(uint64_t replayStart) {
    m_waitForKeyFrame = true;
    m_frameCount = 0;
    m_lastFrameMs = NowMs();
    std::lock_guard lock(m_converterLock);
    m_converter.StartReplay(CTime(replayStart));
}

void CBaseEdgeStorageTask::AnchorReplayTime(uint32_t rtpTimestamp) {
    std::lock_guard lock(m_converterLock);
    m_converter.AnchorReplay(rtpTimestamp);
}

uint64_t CBaseEdgeStorageTask::NowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t CBaseEdgeStorageTask::MsSinceLastFrame() const {
    const uint64_t now = NowMs();
    const uint64_t last = m_lastFrameMs;
    return now > last ? now - last : 0;
}

bool CBaseEdgeStorageTask::IsKeyFrame(uint32_t typeCode) {
    return typeCode == kTypeH264KeyFrame || typeCode == kTypeMpeg4KeyFrame || typeCode == kTypeJpeg;
}

bool CBaseEdgeStorageTask::DeliverFrame(ipcapture::IVideoFrame* frame) {
    const bool taken = FilterFrame(frame);
    // Only a frame the host refused leaves the silence timer running.
    if (taken || !m_refused)
        m_lastFrameMs = NowMs();
    return taken;
}

bool CBaseEdgeStorageTask::FilterFrame(ipcapture::IVideoFrame* frame) {
    m_refused = false;
    const uint64_t time = frame->GetTime();
    if (time <= GetProgress())
        return false;
    // Checked before the key-frame wait: a replay that passes the end while
    // still waiting for a key frame ends all the same.
    if (time > m_end) {
        SetProgress(time);
        m_finishedEvent.Set();
        return false;
    }
    if (m_waitForKeyFrame && !IsKeyFrame(frame->GetTypeCode()))
        return false;
    m_waitForKeyFrame = false;
    if (!m_user.CaptureFrameCallback(m_channel, frame)) {
        m_refused = true;
        return false;
    }
    SetProgress(time);
    ++m_frameCount;
    return true;
}

void CBaseEdgeStorageTask::SetProgress(uint64_t time) {
    std::lock_guard lock(m_progressLock);
    m_progress = time;
}

void CBaseEdgeStorageTask::GetConfiguredSize(uint16_t& width, uint16_t& height) {
    width = 0;
    height = 0;
}

void CBaseEdgeStorageTask::GetDeviceName(std::string& text) {
    text = m_driver->GetDriverName() + "::EdgeChannel";
}

void CBaseEdgeStorageTask::ConvertTimestamp(uint32_t rtpTimestamp, CTime& time) {
    std::lock_guard lock(m_converterLock);
    time = m_converter.Convert(rtpTimestamp);
}

} // namespace talvex

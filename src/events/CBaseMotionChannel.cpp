#include "events/CBaseMotionChannel.h"

#include "common/CTime.h"

#include <exception>
#include <memory>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
// Level 4 lines are never delivered; the refusal is kept for a debugging host build.
constexpr uint32_t kTraceLevel = 4;
constexpr uint8_t kMotionDataTag = 0x01;
constexpr uint32_t kMotionDataBytes = 2;
// Time the worker gets beyond the device's first time-out to end its request.
constexpr uint32_t kStopGraceMs = 1000;

} // namespace

CBaseMotionChannel::CBaseMotionChannel(uint32_t channel, IDriver* driver, ipcapture::IVideoChannelCallback* callback)
    : CBaseThread(driver), m_driver(driver), m_channel(channel), m_callback(callback) {}

bool CBaseMotionChannel::Start() {
    if (IsRunning())
        return true;
    // A new start shows the host an edge again and gives it a full time-out.
    m_stateReported = false;
    m_lastFrameTaken = Clock::now();
    return StartThread(kThreadName);
}

void CBaseMotionChannel::Stop() {
    GetStopEvent().Set();
    AbortRequest();
    StopThread(m_driver->GetDeviceInfo()->firstTimeoutMs + kStopGraceMs);
}

void CBaseMotionChannel::Run() {
    while (!StopRequested()) {
        RunGuarded([this] { ThreadFunction(); });
        // Also after a pass that threw, so a fault that repeats cannot spin the worker.
        if (GetStopEvent().Wait(kRetryWaitMs))
            return;
        RunGuarded([this] { CheckSignal(); });
    }
}

void CBaseMotionChannel::RunGuarded(const std::function<void()>& step) {
    try {
        step();
    } catch (...) {
        m_driver->DebugMessage(kErrorLevel, "%s(): Unhandled exception during \"Motion detection\" thread processing.",
                               ThreadFunctionName());
    }
}

void CBaseMotionChannel::CheckSignal() {
    const auto limit = std::chrono::milliseconds(m_driver->GetDeviceInfo()->secondTimeoutMs);
    if (!StopRequested() && Clock::now() - m_lastFrameTaken > limit)
        SetSignal(false);
}

void CBaseMotionChannel::SetSignal(bool ok) {
    if (m_signalOk.exchange(ok) == ok || ok)
        return;
    // The next record shows the host the state again as an edge.
    m_stateReported = false;
    if (m_callback)
        m_callback->OnSignalLost();
    if (IEdgeStorageCallback* monitor = m_edgeMonitor.load())
        monitor->OnSignalLost(m_channel);
}

void CBaseMotionChannel::ReportMotion(bool motion) {
    if (!m_stateReported) {
        m_stateReported = true;
        m_lastMotion = motion;
        CaptureMotionFrameCallback(!motion);
        CaptureMotionFrameCallback(motion);
        return;
    }
    if (motion == m_lastMotion)
        return;
    m_lastMotion = motion;
    CaptureMotionFrameCallback(motion);
}

void CBaseMotionChannel::CaptureMotionFrameCallback(bool motion) {
    ipcapture::IFrameAllocator* allocator = m_driver->GetHostContext();
    if (!allocator || !m_callback)
        return;
    // Released after every delivery attempt, also when the host's callback throws.
    auto release = [allocator](ipcapture::IVideoFrame* frame) { allocator->ReleaseVideo(frame); };
    std::unique_ptr<ipcapture::IVideoFrame, decltype(release)> frame(
        allocator->AllocVideo(kFrameType, kFrameCapacity, kFrameCreator), release);
    uint8_t* data = frame ? frame->GetBuffer() : nullptr;
    if (!data || frame->GetCapacity() < kMotionDataBytes)
        return;
    data[0] = kMotionDataTag;
    data[1] = motion ? 1 : 0;
    frame->SetDataSize(kMotionDataBytes);
    frame->SetPictureFormat(kFrameWidth, kFrameHeight, kFrameKind);
    frame->SetTypeCode(kFrameType);
    // The frame object has no finish slot of its own: the arrival time finishes it.
    frame->SetTime(CTime::Now().Value());
    if (!m_callback->OnFrame(frame.get())) {
        m_driver->DebugMessage(kTraceLevel, "%s(): Motion detection data callback failed (device %s, channel %u)",
                               "talvex::CBaseMotionChannel::CaptureMotionFrameCallback",
                               m_driver->GetDeviceInfo()->address.c_str(), m_channel);
        return;
    }
    m_lastFrameTaken = Clock::now();
    SetSignal(true);
    if (IEdgeStorageCallback* monitor = m_edgeMonitor.load())
        monitor->OnFrameTime(m_channel, frame->GetTime());
}

} // namespace talvex

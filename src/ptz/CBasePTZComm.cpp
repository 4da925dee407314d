#include "ptz/CBasePTZComm.h"

#include "common/IDriver.h"
#include "common/StringFormat.h"
#include "ptz/PtzResult.h"

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;

} // namespace

CBasePTZComm::CBasePTZComm(IDriver* driver, uint16_t channelIndex, const CPtzCapabilities& capabilities)
    : CBaseThread(driver), m_channelIndex(channelIndex), m_capabilities(capabilities), m_driver(driver) {}

CBasePTZComm::~CBasePTZComm() = default;

bool CBasePTZComm::Open() {
    if (IsRunning())
        return true;
    if (StartThread(FormatString("BaseIPPTZThread_Ch%u", unsigned(m_channelIndex) + 1)))
        return true;
    m_driver->DebugMessage(kErrorLevel, "%s: unable to start thread for PTZ channel %u",
                           "talvex::CBasePTZComm::Open", unsigned(m_channelIndex) + 1);
    return false;
}

void CBasePTZComm::Close() { CloseWorker(m_driver->GetDeviceInfo()->firstTimeoutMs); }

void CBasePTZComm::CloseWorker(uint32_t timeoutMs) {
    GetStopEvent().Set();
    DropQueue();
    JoinThread(timeoutMs);
}

int32_t CBasePTZComm::GetCapabilities(ipcapture::PTZ_CAPABILITIES* record) const {
    *record = ipcapture::PTZ_CAPABILITIES{};
    record->pan = m_capabilities.pan;
    record->tilt = m_capabilities.tilt;
    record->zoom = m_capabilities.zoom;
    record->focus = m_capabilities.focus;
    record->iris = m_capabilities.iris;
    record->areaZoom = m_capabilities.areaZoom;
    record->center = m_capabilities.center;
    record->unzoom = m_capabilities.unzoom;
    record->maxPresetCount = m_capabilities.presetCount;
    return kPtzSuccess;
}

int32_t CBasePTZComm::Iris(bool open, uint32_t speed) {
    if (!m_capabilities.iris)
        return kPtzNotCapable;
    CPTZMessage message;
    message.type = CPTZMessage::kIris;
    message.a = open ? CPTZMessage::kIrisOpen : CPTZMessage::kIrisClose;
    message.b = speed;
    return Post(message) ? kPtzSuccess : kPtzNotQueued;
}

bool CBasePTZComm::Supersedes(const CPTZMessage& added, const CPTZMessage& queued) {
    if (queued.type == CPTZMessage::kMove)
        return (queued.c < CPTZMessage::kZoomIn && added.IsPanTiltCommand()) ||
               (CPTZMessage::IsZoomDirection(queued.c) && added.IsZoomCommand());
    return queued.type == added.type && queued.a == added.a;
}

bool CBasePTZComm::Post(const CPTZMessage& message) {
    CAutoLock lock(m_queueLock);
    m_queue.remove_if([&](const CPTZMessage& queued) { return Supersedes(message, queued); });
    m_queue.push_back(message);
    m_queueEvent.Set();
    return true;
}

size_t CBasePTZComm::QueuedCount() const {
    CAutoLock lock(m_queueLock);
    return m_queue.size();
}

bool CBasePTZComm::TakeFirst(CPTZMessage& message) {
    CAutoLock lock(m_queueLock);
    if (m_queue.empty())
        return false;
    message = m_queue.front();
    m_queue.pop_front();
    return true;
}

void CBasePTZComm::DropQueue() {
    CAutoLock lock(m_queueLock);
    m_queue.clear();
    m_queueEvent.Reset();
}

void CBasePTZComm::Run() {
    OnThreadStart();
    CEvent* const events[] = {&GetStopEvent(), &m_queueEvent};
    constexpr int kQueueSignalled = 1;
    while (CEvent::WaitAny(events, 2, CEvent::kInfinite) == kQueueSignalled) {
        CPTZMessage message;
        while (!StopRequested() && TakeFirst(message)) {
            try {
                ProcessMessage(message);
            } catch (...) {
                // One failed command must not end the channel's worker.
            }
        }
    }
}

} // namespace talvex

#include "ptz/CBasePTZControl.h"

#include "ptz/PtzResult.h"

#include <algorithm>

namespace talvex {

CBasePTZControl::CBasePTZControl(IDriver* driver, uint32_t channelIndex)
    : m_driver(driver), m_channelIndex(channelIndex) {}

CBasePTZControl::~CBasePTZControl() { CBasePTZControl::Close(); }

bool CBasePTZControl::Open() {
    m_comm = CreateComm();
    return m_comm && m_comm->Open();
}

void CBasePTZControl::Close() {
    if (!m_comm)
        return;
    m_comm->Close();
    m_comm.reset();
}

CPTZMessage CBasePTZControl::Message(int32_t type, uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) {
    CPTZMessage message;
    message.type = type;
    message.a = a;
    message.b = b;
    message.c = c;
    message.d = d;
    message.e = e;
    return message;
}

bool CBasePTZControl::StopIfMoving(std::atomic<bool>& moving, uint32_t what) {
    if (!moving)
        return true;
    const bool queued = m_comm->Post(Message(CPTZMessage::kStop, what, 0));
    if (queued)
        moving = false;
    return queued;
}

int32_t CBasePTZControl::QueueMovement(bool capable, const CPTZMessage& message, std::atomic<bool>* moving) {
    if (!capable)
        return kPtzNotCapable;
    if (!m_comm->Post(message))
        return kPtzNotQueued;
    OnMoveCommand();
    if (moving)
        *moving = true;
    return kPtzSuccess;
}

bool CBasePTZControl::PTZ_IsSupported() { return m_comm && m_comm->HasAnyCapability(); }

int32_t CBasePTZControl::PTZ_Move(int32_t direction, uint32_t speed) {
    if (!m_comm)
        return kPtzNotOpen;
    if (CPTZMessage::IsZoomDirection(uint32_t(direction)))
        return Zoom(direction, speed);
    // Only the eight pan/tilt directions remain valid here.
    if (direction < CPTZMessage::kLeft || direction >= CPTZMessage::kZoomIn)
        return kPtzInvalidArgument;
    if (speed == 0)
        return StopIfMoving(m_panTiltMoving, CPTZMessage::kStopPanTilt) ? kPtzSuccess : kPtzNotQueued;
    const CPtzCapabilities& capabilities = m_comm->GetPtzCapabilities();
    return QueueMovement(capabilities.pan || capabilities.tilt,
                         Message(CPTZMessage::kMove, 0, speed, uint32_t(direction)), &m_panTiltMoving);
}

int32_t CBasePTZControl::Zoom(int32_t direction, uint32_t speed) {
    if (!m_comm)
        return kPtzNotOpen;
    if (speed == 0)
        return StopIfMoving(m_zoomMoving, CPTZMessage::kStopZoom) ? kPtzSuccess : kPtzNotQueued;
    return QueueMovement(m_comm->GetPtzCapabilities().zoom,
                         Message(CPTZMessage::kMove, 0, speed, uint32_t(direction)), &m_zoomMoving);
}

int32_t CBasePTZControl::Focus(bool near, uint32_t speed) {
    if (!m_comm)
        return kPtzNotOpen;
    const uint32_t way = near ? CPTZMessage::kFocusNear : CPTZMessage::kFocusFar;
    return QueueMovement(m_comm->GetPtzCapabilities().focus, Message(CPTZMessage::kFocus, way, speed),
                         &m_focusMoving);
}

int32_t CBasePTZControl::Iris(bool open, uint32_t speed) {
    if (!m_comm)
        return kPtzNotOpen;
    const int32_t result = m_comm->Iris(open, speed);
    if (result == kPtzSuccess) {
        m_irisMoving = true;
        OnMoveCommand();
    }
    return result;
}

int32_t CBasePTZControl::PTZ_Stop() {
    if (!m_comm)
        return kPtzNotQueued;
    // Every flag gets its stop even when an earlier one could not be queued.
    bool allQueued = StopIfMoving(m_panTiltMoving, CPTZMessage::kStopPanTilt);
    allQueued = StopIfMoving(m_zoomMoving, CPTZMessage::kStopZoom) && allQueued;
    allQueued = StopIfMoving(m_irisMoving, CPTZMessage::kStopIris) && allQueued;
    allQueued = StopIfMoving(m_focusMoving, CPTZMessage::kStopFocus) && allQueued;
    return allQueued ? kPtzSuccess : kPtzNotQueued;
}

int32_t CBasePTZControl::PTZ_Center(int32_t x, int32_t y, int32_t arg) {
    if (!m_comm)
        return kPtzNotOpen;
    return QueueMovement(m_comm->GetPtzCapabilities().center,
                         Message(CPTZMessage::kCenter, 0, uint32_t(arg), uint32_t(x), uint32_t(y)), nullptr);
}

int32_t CBasePTZControl::PTZ_ZoomIn(uint32_t speed) { return Zoom(CPTZMessage::kZoomIn, speed); }
int32_t CBasePTZControl::PTZ_ZoomOut(uint32_t speed) { return Zoom(CPTZMessage::kZoomOut, speed); }

int32_t CBasePTZControl::PTZ_Unzoom(int32_t arg) {
    if (!m_comm)
        return kPtzNotQueued;
    return QueueMovement(m_comm->GetPtzCapabilities().unzoom, Message(CPTZMessage::kUnzoom, 0, uint32_t(arg)),
                         nullptr);
}

int32_t CBasePTZControl::PTZ_AreaZoom(int32_t x, int32_t y, int32_t percent, int32_t arg) {
    if (!m_comm)
        return kPtzNotQueued;
    return QueueMovement(
        m_comm->GetPtzCapabilities().areaZoom,
        Message(CPTZMessage::kAreaZoom, 0, uint32_t(arg), uint32_t(x), uint32_t(y), uint32_t(percent)), nullptr);
}

int32_t CBasePTZControl::PTZ_FocusNear(uint32_t speed) { return Focus(true, speed); }
int32_t CBasePTZControl::PTZ_FocusFar(uint32_t speed) { return Focus(false, speed); }
int32_t CBasePTZControl::PTZ_IrisOpen(uint32_t speed) { return Iris(true, speed); }
int32_t CBasePTZControl::PTZ_IrisClose(uint32_t speed) { return Iris(false, speed); }

int32_t CBasePTZControl::PTZ_GetCapabilities(ipcapture::PTZ_CAPABILITIES* capabilities) {
    if (!m_comm)
        return kPtzNotOpen;
    if (!capabilities)
        return kPtzInvalidArgument;
    m_comm->GetCapabilities(capabilities);
    // An unreadable preset list counts as none saved rather than as a huge count.
    if (capabilities->maxPresetCount > 0)
        capabilities->currentPresetCount = uint32_t(std::max(0, PTZ_GetPrepositionCount()));
    return kPtzSuccess;
}

bool CBasePTZControl::PTZ_IsSuccess(int32_t code) { return code == kPtzSuccess; }

} // namespace talvex

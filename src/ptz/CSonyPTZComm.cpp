#include "ptz/CSonyPTZComm.h"

#include "common/Conversions.h"
#include "common/IDriver.h"
#include "http/HUtils.h"
#include "http/InquiryValue.h"
#include "ptz/CSonyPTZRequests.h"
#include "ptz/CSonyPresetList.h"
#include "ptz/PtzResult.h"

#include <algorithm>

namespace talvex {
namespace {

constexpr uint32_t kWarningLevel = 2;
constexpr const char* kPresetSetMethod = "talvex::CSonyPTZComm::PresetSet";
constexpr uint32_t kViscaGeneration = 1;
constexpr uint32_t kFastPanTiltGeneration = 5;
constexpr uint32_t kStatusOk = 200;
constexpr uint32_t kStatusNoContent = 204;

// Camera speed ranges by command, onto which the host's 1..16 is scaled.
struct SpeedRange {
    uint32_t low, high;
};
constexpr SpeedRange kServerPanTilt{1, 100}; // generation 5 video servers (SNT-)
constexpr SpeedRange kFastPanTilt{1, 24};    // other generation 5 models
constexpr SpeedRange kPanTilt{4, 20};
constexpr SpeedRange kZoom{2, 8};
constexpr SpeedRange kFocus{1, 8};
constexpr SpeedRange kPresetCall{1, 24};

bool IsSuccessStatus(uint32_t status) { return status >= 200 && status < 300; }

} // namespace

CSonyPTZComm::CSonyPTZComm(IDriver* driver, uint16_t channelIndex, const CPtzCapabilities& capabilities)
    : CBasePTZComm(driver, channelIndex, capabilities),
      m_useVisca(driver->GetDeviceInfo()->generation == kViscaGeneration),
      m_generation(driver->GetDeviceInfo()->generation),
      m_irisThread(driver, kIrisPeriodMs, this, &CSonyPTZComm::OnIrisTick),
      m_modeSender(*driver->GetDeviceInfo()),
      m_presetSender(*driver->GetDeviceInfo()),
      m_moveSender(*driver->GetDeviceInfo()),
      m_moveLogger(driver),
      m_modeLogger(driver),
      m_presetLogger(driver) {
    // Every wait of a request also ends when the worker is told to stop, so a
    // camera that does not answer never holds up Close.
    m_modeSender.WatchStopEvent(&WorkerStopEvent());
    m_presetSender.WatchStopEvent(&WorkerStopEvent());
    m_moveSender.WatchStopEvent(&WorkerStopEvent());
}

CSonyPTZComm::~CSonyPTZComm() {
    // Both threads call into this object: they end before its members go.
    CSonyPTZComm::Close();
}

bool CSonyPTZComm::Open() {
    if (!CBasePTZComm::Open())
        return false;
    m_irisDirection = kIrisIdle;
    if (GetPtzCapabilities().iris && !m_irisThread.IsRunning() &&
        !m_irisThread.Start("Continuous-Iris emulating thread", false)) {
        Close();
        return false;
    }
    return true;
}

void CSonyPTZComm::Close() {
    m_irisThread.GetStopEvent().Set();
    WorkerStopEvent().Set();
    m_modeSender.Cancel();
    m_presetSender.Cancel();
    m_moveSender.Cancel();
    const uint32_t timeoutMs = GetDriver()->GetDeviceInfo()->firstTimeoutMs;
    m_irisThread.JoinThread(timeoutMs + timeoutMs / 2);
    CloseWorker(timeoutMs);
}

int32_t CSonyPTZComm::Iris(bool open, uint32_t /*speed: the emulated iris steps at one pace*/) {
    if (!GetPtzCapabilities().iris) {
        m_irisDirection = kIrisIdle;
        return kPtzNotCapable;
    }
    m_irisDirection = open ? kIrisOpening : kIrisClosing;
    return kPtzSuccess;
}

void CSonyPTZComm::ProcessMessage(const CPTZMessage& message) {
    switch (message.type) {
    case CPTZMessage::kMove:
        DoMove(message);
        break;
    case CPTZMessage::kFocus:
        DoFocus(message);
        break;
    case CPTZMessage::kStop:
        DoStop(message);
        break;
    case CPTZMessage::kAreaZoom:
    case CPTZMessage::kCenter:
        DoAreaZoom(message);
        break;
    case CPTZMessage::kUnzoom:
        DoUnzoom();
        break;
    default:
        break;
    }
}

uint32_t CSonyPTZComm::Scaled(uint32_t speed, uint32_t low, uint32_t high) {
    CScaleConverter converter;
    converter.SetTargetRange(low, high);
    return converter.Convert(speed);
}

uint32_t CSonyPTZComm::PanTiltSpeed(uint32_t speed) {
    const DEVICE_INFO& device = *GetDriver()->GetDeviceInfo();
    SpeedRange range = kPanTilt;
    if (device.generation == kFastPanTiltGeneration)
        range = device.model.find("SNT-") != std::string::npos ? kServerPanTilt : kFastPanTilt;
    return Scaled(speed, range.low, range.high);
}

void CSonyPTZComm::DoMove(const CPTZMessage& message) {
    const int32_t direction = int32_t(message.c);
    const uint32_t speed = message.b;
    if (CPTZMessage::IsZoomDirection(message.c)) {
        if (m_lastZoom.Repeats(direction, speed))
            return;
        const bool sent =
            m_useVisca
                ? SendVisca(direction == CPTZMessage::kZoomIn ? CSonyPTZRequests::kViscaZoomTele
                                                              : CSonyPTZRequests::kViscaZoomWide,
                            speed)
                : SendGet(CSonyPTZRequests::MovePath(message.c, Scaled(speed, kZoom.low, kZoom.high)));
        if (!sent)
            return;
        m_lastZoom.Set(direction, speed);
    } else if (direction < CPTZMessage::kZoomIn) {
        if (m_lastPanTilt.Repeats(direction, speed) ||
            !SendGet(CSonyPTZRequests::MovePath(message.c, PanTiltSpeed(speed))))
            return;
        m_lastPanTilt.Set(direction, speed);
    } else {
        return;
    }
    AfterMovement();
}

void CSonyPTZComm::AfterMovement() {
    SetFocusMode(true);
    SetExposureMode(true);
}

void CSonyPTZComm::DoFocus(const CPTZMessage& message) {
    const bool near = message.a == CPTZMessage::kFocusNear;
    SetFocusMode(false);
    if (m_useVisca)
        SendVisca(near ? CSonyPTZRequests::kViscaFocusNear : CSonyPTZRequests::kViscaFocusFar, message.b);
    else
        SendGet(CSonyPTZRequests::FocusPath(near, Scaled(message.b, kFocus.low, kFocus.high)));
}

void CSonyPTZComm::DoStop(const CPTZMessage& message) {
    switch (message.a) {
    case CPTZMessage::kStopPanTilt:
        m_lastPanTilt.Forget();
        SendGet(CSonyPTZRequests::StopPath("motor"));
        break;
    case CPTZMessage::kStopZoom:
        m_lastZoom.Forget();
        if (m_useVisca)
            SendVisca(CSonyPTZRequests::kViscaZoomStop, 0);
        else
            SendGet(CSonyPTZRequests::StopPath("zoom"));
        break;
    case CPTZMessage::kStopFocus:
        if (m_useVisca)
            SendVisca(CSonyPTZRequests::kViscaFocusStop, 0);
        else
            SendGet(CSonyPTZRequests::StopPath("focus"));
        break;
    case CPTZMessage::kStopIris:
        m_irisDirection = kIrisIdle;
        break;
    default:
        break;
    }
}

void CSonyPTZComm::DoAreaZoom(const CPTZMessage& message) {
    IDriver* driver = GetDriver();
    const auto [width, height] = driver->GetChannelPictureSize(GetChannelIndex());
    const uint32_t percent = message.type == CPTZMessage::kAreaZoom ? message.e : 0;
    const DEVICE_INFO& device = *driver->GetDeviceInfo();
    if (SendGet(CSonyPTZRequests::AreaZoomPath(message.c, message.d, percent, width, height, device.model,
                                               device.generation, driver->GetDefaultCodecType())))
        AfterMovement();
}

void CSonyPTZComm::DoUnzoom() {
    const bool sent = m_useVisca ? SendVisca(CSonyPTZRequests::kViscaZoomFullWide, 0)
                                 : SendGet(CSonyPTZRequests::kUnzoomPath);
    if (sent)
        AfterMovement();
}

bool CSonyPTZComm::Checked(const CResultDef& result, CLoggerInstance& logger) {
    if (result.GetDetail() == 0) {
        logger.ResetLastMessage();
        return true;
    }
    logger.Log(kWarningLevel, "%s", result.GetMessage().c_str());
    return false;
}

bool CSonyPTZComm::SendGet(const std::string& path) {
    if (path.empty() || StopRequested())
        return false;
    const CResultDef result = HUtils::SendCommand(m_moveSender, path);
    if (StopRequested())
        return false;
    const uint32_t status = m_moveSender.GetStatusCode();
    return Checked(result, m_moveLogger) && (status == kStatusOk || status == kStatusNoContent);
}

bool CSonyPTZComm::SendVisca(uint32_t command, uint32_t hostSpeed) {
    return SendGet(CSonyPTZRequests::ViscaPath(command, CSonyPTZRequests::ViscaSpeed(hostSpeed)));
}

bool CSonyPTZComm::SendMode(const std::string& path) {
    if (StopRequested())
        return false;
    std::lock_guard lock(m_modeMutex);
    const CResultDef result = HUtils::SendCommand(m_modeSender, path);
    return Checked(result, m_modeLogger) && IsSuccessStatus(m_modeSender.GetStatusCode());
}

bool CSonyPTZComm::SetFocusMode(bool automatic) {
    if (!GetPtzCapabilities().focus || automatic == m_focusAuto)
        return true;
    if (!SendMode(CSonyPTZRequests::FocusModePath(automatic)))
        return false;
    m_focusAuto = automatic;
    return true;
}

bool CSonyPTZComm::SetExposureMode(bool full) {
    if (!GetPtzCapabilities().iris || full == m_exposureFull)
        return true;
    if (full) {
        m_irisIndex = -1;
    } else {
        const int32_t index = ReadIris();
        if (index < 0)
            return false;
        m_irisIndex = index;
    }
    if (!SendMode(CSonyPTZRequests::ExposureModePath(full)))
        return false;
    m_exposureFull = full;
    return true;
}

int32_t CSonyPTZComm::ReadIris() {
    if (StopRequested())
        return -1;
    std::lock_guard lock(m_modeMutex);
    std::string answer;
    if (!HUtils::RequestText(m_modeSender, CSonyPTZRequests::kCameraInquiryPath, answer) ||
        m_modeSender.GetStatusCode() != kStatusOk)
        return -1;
    const std::string value = GetInquiryValue(answer, "Iris");
    return value.empty() ? -1 : int32_t(std::min<uint32_t>(StringToUnsigned(value), kMaxIrisIndex));
}

void CSonyPTZComm::OnIrisTick() {
    try {
        const int32_t direction = m_irisDirection;
        if (!GetPtzCapabilities().iris || direction == kIrisIdle || !SetExposureMode(false))
            return;
        if (m_irisIndex < 0)
            m_irisIndex = ReadIris();
        const int32_t current = m_irisIndex;
        if (current < 0)
            return;
        const int32_t next =
            direction == kIrisOpening ? std::min(current + 1, kMaxIrisIndex) : std::max(current - 1, 0);
        if (next != current && !StopRequested() && SendMode(CSonyPTZRequests::IrisPath(next)))
            m_irisIndex = next;
    } catch (...) {
        // A failed step is retried on the next tick.
    }
}

bool CSonyPTZComm::PresetSet(const std::string& name, uint32_t index) {
    if (name.empty() || StopRequested())
        return false;
    Web::HttpRequest request;
    request.verb = "POST";
    request.path = CSonyPTZRequests::kPresetPath;
    request.headers.push_back(kPostContentType);
    const std::string body = CSonyPTZRequests::PresetSetBody(name, index, m_generation);
    request.body.assign(body.begin(), body.end());
    std::lock_guard lock(m_presetMutex);
    const bool answered = m_presetSender.Send(request);
    const uint32_t status = m_presetSender.GetStatusCode();
    if (answered && IsSuccessStatus(status)) {
        m_presetLogger.ResetLastMessage();
        return true;
    }
    const std::string device = GetDriver()->GetDeviceTag();
    if (answered && status != 0)
        m_presetLogger.Log(kWarningLevel, "%s: device %s refused to save preset %u (HTTP status %u)", kPresetSetMethod,
                           device.c_str(), index + 1, status);
    else
        m_presetLogger.Log(kWarningLevel, "%s: device %s did not answer the request to save preset %u",
                           kPresetSetMethod, device.c_str(), index + 1);
    return false;
}

bool CSonyPTZComm::PresetCall(const std::string& name, uint32_t index, uint32_t speed) {
    if (name.empty() || StopRequested())
        return false;
    SetFocusMode(false);
    const std::string path = CSonyPTZRequests::PresetCallPath(index, Scaled(speed, kPresetCall.low, kPresetCall.high));
    std::lock_guard lock(m_presetMutex);
    return Checked(HUtils::SendCommand(m_presetSender, path), m_presetLogger);
}

bool CSonyPTZComm::PresetClear(const std::string& name, uint32_t index) {
    if (name.empty() || StopRequested())
        return false;
    std::lock_guard lock(m_presetMutex);
    return Checked(HUtils::SendCommand(m_presetSender, CSonyPTZRequests::PresetClearPath(index)), m_presetLogger);
}

bool CSonyPTZComm::ReadPresetList(std::map<uint32_t, std::string>& presets) {
    presets.clear();
    if (StopRequested())
        return false;
    CResultDef result;
    std::vector<uint8_t> body;
    std::lock_guard lock(m_presetMutex);
    HUtils::RequestGetRD(result, m_presetSender, CSonyPTZRequests::kPresetListPath, body, true);
    if (!Checked(result, m_presetLogger) || m_presetSender.GetStatusCode() != kStatusOk)
        return false;
    presets = CSonyPresetList::Parse(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    return true;
}

} // namespace talvex

#include "events/CSonyDigitalIO.h"

#include "common/Conversions.h"
#include "common/StringFormat.h"
#include "events/InquiryItem.h"
#include "http/HUtils.h"

namespace talvex {
namespace {

constexpr uint32_t kWarningLevel = 2;
// First-generation devices answer their system settings under "sysinfo".
constexpr uint32_t kSysinfoGeneration = 1;

// A sensor is active when its value is a number other than 0. Cameras that
// answer "on" and "off" instead of numbers are read the same way.
uint32_t SensorState(const std::string& value) {
    return StringToUnsigned(value) != 0 || value == "on" ? kIOStateOn : kIOStateOff;
}

} // namespace

CSonyDigitalIO::CSonyDigitalIO(IDriver* driver)
    : CIOBase(driver),
      m_inputSender(*driver->GetDeviceInfo()),
      m_outputSender(*driver->GetDeviceInfo()),
      m_inputLogger(driver),
      m_outputLogger(driver) {
    // A request ends as soon as its thread is asked to stop.
    m_inputSender.WatchStopEvent(&InputStopEvent());
    m_outputSender.WatchStopEvent(&OutputStopEvent());
}

CSonyDigitalIO::~CSonyDigitalIO() {
    // The threads call into this class: they end before its members go.
    StopIO();
}

void CSonyDigitalIO::AbortRequests() {
    m_inputSender.Cancel();
    m_outputSender.Cancel();
}

bool CSonyDigitalIO::Checked(const CResultDef& result, CLoggerInstance& logger) {
    if (result.GetDetail() == 0) {
        logger.ResetLastMessage();
        return true;
    }
    logger.Log(kWarningLevel, "%s", result.GetMessage().c_str());
    return false;
}

std::vector<uint32_t> CSonyDigitalIO::ReadSensorStates(std::string_view answer, uint32_t inputCount) {
    std::vector<uint32_t> states(inputCount, kIOStateNone);
    const std::optional<std::string> single = FindInquiryItem(answer, "Sensor");
    if (single && inputCount == 1) {
        states[0] = SensorState(*single);
        return states;
    }
    for (uint32_t index = 0; index < inputCount; ++index)
        if (const std::optional<std::string> value = FindInquiryItem(answer, FormatString("Sensor%u", index + 1)))
            states[index] = SensorState(*value);
    return states;
}

bool CSonyDigitalIO::GetInputStates() {
    const uint32_t inputs = GetInputCount();
    if (inputs == 0 || InputStopRequested())
        return true;
    CResultDef result;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(result, m_inputSender, kSensorPath, body, true);
    if (InputStopRequested())
        return true;
    if (!Checked(result, m_inputLogger))
        return false;
    const std::vector<uint32_t> states =
        ReadSensorStates(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()), inputs);
    for (uint32_t index = 0; index < states.size(); ++index)
        ReportInput(index, states[index]);
    return true;
}

bool CSonyDigitalIO::SetOutputState(uint32_t index, uint32_t state) {
    EnsureOutputsConfigured();
    if (state != kIOStateOff && state != kIOStateOn)
        return true;
    // Not under manual control, a switch would not take effect: the change fails.
    if (!m_outputsConfigured)
        return false;
    if (OutputStopRequested())
        return true;
    CResultDef result;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(result, m_outputSender, CSonyAlarmOutputs::SwitchPath(m_style, index, state == kIOStateOn),
                         body, false);
    // No answer at all: the camera may have restarted and forgotten the manual control.
    if (result.GetCode() == HUtils::kCodeNoAnswer)
        m_outputsConfigured = false;
    return Checked(result, m_outputLogger);
}

void CSonyDigitalIO::EnsureOutputsConfigured() {
    if (!m_outputsConfigured && EnableAlarmData() && ConfigureAlarmOutputs())
        m_outputsConfigured = true;
}

bool CSonyDigitalIO::OutputRequest(const std::string& path, std::string* text) {
    if (OutputStopRequested())
        return false;
    CResultDef result;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(result, m_outputSender, path, body, text != nullptr);
    if (!Checked(result, m_outputLogger))
        return false;
    if (text)
        text->append(body.begin(), body.end());
    return true;
}

bool CSonyDigitalIO::EnableAlarmData() {
    const char* topic = m_driver->GetDeviceInfo()->generation == kSysinfoGeneration ? "sysinfo" : "system";
    std::string answer;
    if (!OutputRequest(FormatString("/command/inquiry.cgi?inq=%s", topic), &answer))
        return false;
    return FindInquiryItem(answer, "AlarmData") == "on" || OutputRequest(kAlarmDataOnPath, nullptr);
}

bool CSonyDigitalIO::ConfigureAlarmOutputs() {
    const uint32_t outputs = GetOutputCount();
    if (outputs == 0)
        return true;
    std::string answer;
    if (!OutputRequest(kAlarmOutPath, &answer))
        return false;
    m_style = CSonyAlarmOutputs::PickStyle(answer);
    const std::string command = CSonyAlarmOutputs::ConfigurationCommand(answer, m_style, outputs);
    return command.empty() || OutputRequest("/command/alarmout.cgi?" + command, nullptr);
}

} // namespace talvex

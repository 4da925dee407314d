// Digital I/O of a Sony camera: sensors read from "inq=sensor", alarm
// outputs put under manual control once and switched in the style the model
// understands.
#pragma once

#include "common/CLoggerInstance.h"
#include "common/CResultDef.h"
#include "events/CIOBase.h"
#include "events/CSonyAlarmOutputs.h"
#include "http/CHttpSender.h"

#include <string>
#include <string_view>
#include <vector>

namespace talvex {

class CSonyDigitalIO : public CIOBase {
public:
    static constexpr const char* kSensorPath = "/command/inquiry.cgi?inq=sensor";
    static constexpr const char* kAlarmOutPath = "/command/inquiry.cgi?inq=alarmout";
    static constexpr const char* kAlarmDataOnPath = "/command/system.cgi?AlarmData=on";

    explicit CSonyDigitalIO(IDriver* driver);
    ~CSonyDigitalIO() override;

    bool SetOutputState(uint32_t index, uint32_t state) override;
    bool GetInputStates() override;
    void AbortRequests() override;

    // Input states of an "inq=sensor" answer for a device with inputCount
    // inputs, index by index (0: the answer names no such sensor).
    static std::vector<uint32_t> ReadSensorStates(std::string_view answer, uint32_t inputCount);

private:
    void EnsureOutputsConfigured();
    bool EnableAlarmData();
    bool ConfigureAlarmOutputs();
    // GET on the output thread's sender; the answer's body is appended to text
    // when given. A failure is logged once per cause.
    bool OutputRequest(const std::string& path, std::string* text);
    // A failed request's cause, once per cause and thread; a success clears it.
    static bool Checked(const CResultDef& result, CLoggerInstance& logger);

    // One sender per thread: the input poll and an output change may run at once.
    Web::CHttpSender m_inputSender;
    Web::CHttpSender m_outputSender;
    CLoggerInstance m_inputLogger;
    CLoggerInstance m_outputLogger;
    // Output thread only.
    bool m_outputsConfigured = false;
    CSonyAlarmOutputs::Style m_style = CSonyAlarmOutputs::kStyleSingle;
};

} // namespace talvex

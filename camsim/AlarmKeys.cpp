#include "AlarmKeys.h"

namespace camsim {

AlarmOutKeys KeysOfOutput(const AlarmIoSpec& spec, uint32_t output) {
    const std::string n = std::to_string(output);
    switch (spec.style) {
    case AlarmOutStyle::Single:
        return {"AlarmOutFunc", spec.manualSwitch ? "AoManualFunc" : "AoMode", {}, {}};
    case AlarmOutStyle::Numbered:
        return {"AlarmOut" + n + "Func", spec.manualSwitch ? "Ao" + n + "ManualFunc" : "Ao" + n + "Mode", {}, {}};
    case AlarmOutStyle::Suffixed:
        break;
    }
    return {"AlarmOutFuncAo" + n, "AlmModeAo" + n, "AlmPeriodAo" + n, "AlmTriggerAo" + n};
}

std::string SensorKey(const AlarmIoSpec& spec, uint32_t inputs, uint32_t input) {
    if (spec.unnumberedSensor && inputs == 1)
        return "Sensor";
    return "Sensor" + std::to_string(input);
}

std::vector<InquiryGroupSpec> AlarmIoGroups(const ModelSpec& model, uint32_t inputs, uint32_t outputs) {
    const AlarmIoSpec& spec = model.alarmIo;
    std::string sensors;
    for (uint32_t input = 1; input <= inputs; ++input)
        sensors += (sensors.empty() ? "" : "&") + SensorKey(spec, inputs, input) + "=0";
    // Outputs leave the factory switched by sensors or timers, not by hand.
    std::string alarmOut;
    for (uint32_t output = 1; output <= outputs; ++output) {
        const AlarmOutKeys keys = KeysOfOutput(spec, output);
        alarmOut += (alarmOut.empty() ? "" : "&") + keys.function + "=off&" + keys.mode + "=";
        if (spec.style != AlarmOutStyle::Suffixed)
            alarmOut += spec.manualSwitch ? "off" : "alarm";
        else
            alarmOut += "alarm&" + keys.period + "=schedule&" + keys.trigger + "=sensor1";
    }
    std::vector<InquiryGroupSpec> groups = {{"sensor", sensors}, {"alarmout", alarmOut}};
    if (model.generation < kFirstGenerationWithoutMdAlarmData)
        groups.push_back({"motiondetection", "MdAlarmData=off"});
    return groups;
}

} // namespace camsim

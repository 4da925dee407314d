#include "events/CSonyAlarmOutputs.h"

#include "common/StringFormat.h"
#include "events/InquiryItem.h"

#include <optional>

namespace talvex {
namespace {

void AppendPart(const std::string& key, std::string_view value, std::string& command) {
    if (!command.empty())
        command += '&';
    command += key + "=" + std::string(value);
}

// Appends key=wanted when the camera knows key and holds another value. A key
// is added once: single-style cameras name their only output without a number.
void AddPart(std::string_view answer, const std::string& key, std::string_view wanted, std::string& command) {
    const std::optional<std::string> current = FindInquiryItem(answer, key);
    if (!current || *current == wanted || FindInquiryItem(command, key))
        return;
    AppendPart(key, wanted, command);
}

} // namespace

CSonyAlarmOutputs::Style CSonyAlarmOutputs::PickStyle(std::string_view alarmOutAnswer) {
    if (FindInquiryItem(alarmOutAnswer, "AlarmOutFuncAo1"))
        return kStyleTrigger;
    if (FindInquiryItem(alarmOutAnswer, "AlarmOutFunc"))
        return kStyleSingle;
    return kStyleNumbered;
}

std::string CSonyAlarmOutputs::ConfigurationCommand(std::string_view alarmOutAnswer, Style style,
                                                    uint32_t outputCount) {
    std::string command;
    for (uint32_t output = 1; output <= outputCount; ++output) {
        if (style == kStyleTrigger)
            AddTrigger(alarmOutAnswer, output, command);
        else
            AddNumberedOrSingle(alarmOutAnswer, style, output, command);
    }
    return command;
}

void CSonyAlarmOutputs::AddNumberedOrSingle(std::string_view answer, Style style, uint32_t output,
                                            std::string& command) {
    const bool single = style == kStyleSingle;
    const std::string function = single ? "AlarmOutFunc" : FormatString("AlarmOut%uFunc", output);
    const std::string manual = single ? "AoManualFunc" : FormatString("Ao%uManualFunc", output);
    const std::string mode = single ? "AoMode" : FormatString("Ao%uMode", output);
    AddPart(answer, function, "on", command);
    const std::optional<std::string> manualValue = FindInquiryItem(answer, manual);
    if (!manualValue)
        AddPart(answer, mode, "manual", command);
    else if (*manualValue == "off" && !FindInquiryItem(command, manual))
        AppendPart(manual, "on", command);
}

void CSonyAlarmOutputs::AddTrigger(std::string_view answer, uint32_t output, std::string& command) {
    AddPart(answer, FormatString("AlarmOutFuncAo%u", output), "on", command);
    AddPart(answer, FormatString("AlmModeAo%u", output), "alarm", command);
    AddPart(answer, FormatString("AlmPeriodAo%u", output), "always", command);
    const std::string trigger = FormatString("AlmTriggerAo%u", output);
    const std::optional<std::string> triggerValue = FindInquiryItem(answer, trigger);
    if (triggerValue && triggerValue->find("cond") == std::string::npos)
        AppendPart(trigger, "cond1", command);
}

std::string CSonyAlarmOutputs::SwitchPath(Style style, uint32_t index, bool on) {
    const char* value = on ? "on" : "off";
    const uint32_t output = index + 1;
    switch (style) {
    case kStyleSingle:
        return FormatString("/command/main.cgi?trigger=alarmout%s", value);
    case kStyleNumbered:
        return FormatString("/command/main.cgi?trigger=alarmout%u%s", output, value);
    case kStyleTrigger:
        return FormatString("/command/trigger.cgi?Alarmout%u=%s", output, value);
    }
    return {};
}

} // namespace talvex

// The three ways Sony cameras switch their alarm outputs, and the command
// that puts the outputs under manual control, all read from the camera's
// "inq=alarmout" answer. Pure text code, no requests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

class CSonyAlarmOutputs {
public:
    enum Style : uint32_t {
        kStyleSingle = 0,   // "main.cgi?trigger=alarmout<on|off>", one unnumbered output
        kStyleNumbered = 1, // "main.cgi?trigger=alarmout<n><on|off>"
        kStyleTrigger = 2,  // "trigger.cgi?Alarmout<n>=<on|off>"
    };

    // "AlarmOutFuncAo1" known: trigger style; "AlarmOutFunc": single; else numbered.
    static Style PickStyle(std::string_view alarmOutAnswer);
    // The "alarmout.cgi" query (without "?") that puts every output under
    // manual control; only keys the camera knows and whose value differs.
    // Empty when nothing needs changing.
    static std::string ConfigurationCommand(std::string_view alarmOutAnswer, Style style, uint32_t outputCount);
    // The request that switches output index (from 0) on or off.
    static std::string SwitchPath(Style style, uint32_t index, bool on);

private:
    static void AddNumberedOrSingle(std::string_view answer, Style style, uint32_t output, std::string& command);
    static void AddTrigger(std::string_view answer, uint32_t output, std::string& command);
};

} // namespace talvex

#include "events/CSonyAlarmOutputs.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using Style = CSonyAlarmOutputs::Style;

struct StyleCase {
    const char* answer;
    Style style;
    const char* onPath;  // output 0 switched on
    const char* offPath; // output 1 switched off
};

TEST(CSonyAlarmOutputs, StyleAndSwitchRequestsFollowTheAlarmOutAnswer) {
    const StyleCase cases[] = {
        {"AlarmOutFuncAo1=off&AlmModeAo1=alarm", CSonyAlarmOutputs::kStyleTrigger,
         "/command/trigger.cgi?Alarmout1=on", "/command/trigger.cgi?Alarmout2=off"},
        {"AlarmOutFunc=off&AoManualFunc=off&AoMode=manual", CSonyAlarmOutputs::kStyleSingle,
         "/command/main.cgi?trigger=alarmouton", "/command/main.cgi?trigger=alarmoutoff"},
        {"AlarmOut1Func=off&Ao1ManualFunc=off", CSonyAlarmOutputs::kStyleNumbered,
         "/command/main.cgi?trigger=alarmout1on", "/command/main.cgi?trigger=alarmout2off"},
        {"", CSonyAlarmOutputs::kStyleNumbered, "/command/main.cgi?trigger=alarmout1on",
         "/command/main.cgi?trigger=alarmout2off"},
        {"AlarmOutFuncAo1=on&AlarmOutFunc=on", CSonyAlarmOutputs::kStyleTrigger,
         "/command/trigger.cgi?Alarmout1=on", "/command/trigger.cgi?Alarmout2=off"},
    };
    for (const StyleCase& test : cases) {
        SCOPED_TRACE(test.answer);
        const Style style = CSonyAlarmOutputs::PickStyle(test.answer);
        EXPECT_EQ(style, test.style);
        EXPECT_EQ(CSonyAlarmOutputs::SwitchPath(style, 0, true), test.onPath);
        EXPECT_EQ(CSonyAlarmOutputs::SwitchPath(style, 1, false), test.offPath);
    }
}

struct CommandCase {
    const char* name;
    const char* answer;
    uint32_t outputs;
    const char* command;
};

TEST(CSonyAlarmOutputs, ConfigurationSendsOnlyKnownKeysWhoseValueDiffers) {
    const CommandCase cases[] = {
        {"single output, manual switch off", "AlarmOutFunc=off&AoManualFunc=off&AoMode=alarm", 1,
         "AlarmOutFunc=on&AoManualFunc=on"},
        {"single style names its keys once for every output", "AlarmOutFunc=off&AoMode=alarm", 2,
         "AlarmOutFunc=on&AoMode=manual"},
        {"numbered, no manual switch: the mode goes to manual",
         "AlarmOut1Func=off&Ao1Mode=alarm&AlarmOut2Func=on&Ao2Mode=manual", 2, "AlarmOut1Func=on&Ao1Mode=manual"},
        {"numbered, manual switch already on", "AlarmOut1Func=on&Ao1ManualFunc=on&Ao1Mode=alarm", 1, ""},
        {"unknown keys are not sent", "AlmAoNum=2&AlarmOut1Func=off&AlarmOut2Func=off", 2,
         "AlarmOut1Func=on&AlarmOut2Func=on"},
        {"trigger style", "AlarmOutFuncAo1=off&AlmModeAo1=timer&AlmPeriodAo1=always&AlmTriggerAo1=sensor", 1,
         "AlarmOutFuncAo1=on&AlmModeAo1=alarm&AlmTriggerAo1=cond1"},
        {"trigger style with a condition already", "AlarmOutFuncAo1=on&AlmModeAo1=alarm&AlmTriggerAo1=cond2", 1, ""},
        {"no outputs", "AlarmOutFunc=off", 0, ""},
    };
    for (const CommandCase& test : cases) {
        SCOPED_TRACE(test.name);
        const Style style = CSonyAlarmOutputs::PickStyle(test.answer);
        EXPECT_EQ(CSonyAlarmOutputs::ConfigurationCommand(test.answer, style, test.outputs), test.command);
    }
}

} // namespace
} // namespace talvex

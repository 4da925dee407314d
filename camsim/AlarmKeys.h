// The inquiry keys of a camera's alarm inputs, outputs and motion alarm data,
// made from its model's alarm I/O row and the input and output counts it runs with.
#pragma once

#include "Catalogue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace camsim {

// Motion detection windows the alarm-data stream reports, in its order.
inline constexpr const char* kAlarmWindows[] = {"OdWin1", "OdWin2", "OdWin3", "OdWin4", "MdWin1",
                                                "MdWin2", "MdWin3", "MdWin4", "AdWin1", "AdWin2"};

// Generation 6 switched motion alarm data on with the system's "AlarmData"
// alone; older cameras also want motiondetection.cgi?MdAlarmData=on.
inline constexpr uint32_t kFirstGenerationWithoutMdAlarmData = 6;
inline constexpr uint32_t kMaxAlarmInputs = 16;
inline constexpr uint32_t kMaxAlarmOutputs = 16;

// The keys of output n (from 1) in "inq=alarmout". mode is the manual switch
// or the mode key of the Single and Numbered styles, the alarm mode of Suffixed;
// period and trigger are Suffixed only.
struct AlarmOutKeys {
    std::string function;
    std::string mode;
    std::string period;
    std::string trigger;
};
AlarmOutKeys KeysOfOutput(const AlarmIoSpec& spec, uint32_t output);

// "Sensor" for the one input of a model answering so, else "Sensor1".."SensorN".
std::string SensorKey(const AlarmIoSpec& spec, uint32_t inputs, uint32_t input);

// The "sensor" and "alarmout" groups (and "motiondetection" below generation
// 6) as the camera answers them after a factory reset.
std::vector<InquiryGroupSpec> AlarmIoGroups(const ModelSpec& model, uint32_t inputs, uint32_t outputs);

} // namespace camsim

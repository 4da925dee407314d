// The models camsim can play: name, generation and the inquiry groups with the
// keys of the model's generation, as the camera reports them after a factory reset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace camsim {

struct InquiryGroupSpec {
    std::string name;  // "system", "sysinfo", "camera", "sensor", "alarmout", ...
    std::string items; // "Key=Value&Key=Value"
};

// Values a command may set a key to; any other value leaves the key as it is
// (the camera ignores sizes it cannot produce, which is how drivers probe them).
struct AllowedValuesSpec {
    std::string key;
    std::vector<std::string> values;
};

// How a model's alarm outputs are named in "inq=alarmout" and switched:
//   Single   "AlarmOutFunc", "AoManualFunc"/"AoMode";  main.cgi?trigger=alarmouton|off (one output)
//   Numbered "AlarmOut%uFunc", "Ao%uManualFunc"/"Ao%uMode"; main.cgi?trigger=alarmout%uon|off
//   Suffixed "AlarmOutFuncAo%u", "AlmModeAo%u", "AlmPeriodAo%u", "AlmTriggerAo%u"; trigger.cgi?Alarmout%u=on|off
enum class AlarmOutStyle { Single, Numbered, Suffixed };

struct AlarmIoSpec {
    AlarmOutStyle style = AlarmOutStyle::Numbered;
    // Single and Numbered: a manual switch key ("AoManualFunc") instead of a mode key ("AoMode").
    bool manualSwitch = false;
    // One input answers "Sensor" instead of "Sensor1".
    bool unnumberedSensor = false;
    uint32_t inputs = 1;
    uint32_t outputs = 1;
};

// The span of one motor axis in the camera's own position units.
struct AxisRange {
    int32_t min = 0;
    int32_t max = 0;
};

// What a model's head and lens can do. Pan and tilt positions count hundredths
// of a degree (0 is straight ahead and level); zoom and focus use VISCA's lens
// positions (zoom 0 full wide to 0x4000 full optical tele; focus 0x1000
// infinity to 0xC000 nearest); the iris is the "Iris" index of inq=camera.
struct PtzSpec {
    bool panTilt = false;
    bool zoom = false;
    uint32_t presets = 0; // preset numbers 1 to presets; 0: no presetposition.cgi
    AxisRange pan;
    AxisRange tilt;
    // Hundredths of a degree per second at the top pan/tilt speed.
    uint32_t topPanTiltRate = 0;

    bool HasPtz() const { return panTilt || zoom; }
};

// How a model keeps its privacy masks: answered by "inq=masking" and set
// through masking.cgi from generation 6, "inq=fcb" and camera.cgi below.
struct PrivacySpec {
    uint32_t masks = 0;       // mask numbers 1 to masks; 0: no privacy masking
    bool vertices = false;    // polygons "PrivacyMaskVertex<n>" instead of rectangles in "PrivacyMaskPosition"
    bool displayList = false; // one "PrivacyDisplay" list instead of "PrivacyMonitor" and a switch per mask
    std::vector<std::pair<uint32_t, std::string>> areas; // masks drawn at the factory
    std::vector<uint32_t> displayed;

    bool Has() const { return masks != 0; }
};

struct ModelSpec {
    std::string name;
    uint32_t generation;
    std::vector<InquiryGroupSpec> groups;
    std::vector<AllowedValuesSpec> allowed;
    AlarmIoSpec alarmIo{};
    PtzSpec ptz{};
    PrivacySpec privacy{};
};

const std::vector<ModelSpec>& Catalogue();
// Exact model name; null when camsim does not know it.
const ModelSpec* FindModel(std::string_view name);

} // namespace camsim

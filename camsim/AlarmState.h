// The camera's alarm side: sensor inputs, relay outputs and the detection
// window that sees motion. Inputs are mirrored into the "sensor" inquiry; every
// change wakes the alarm-data streams. Thread-safe. The test hooks read it as
//   "inputs": {"1": "on"|"off", ...}, "outputs": {...}, "motion": "off"|"<window>"
// and change it with sensorN=on|off and motion=<window>|off.
#pragma once

#include "CameraState.h"
#include "TestHooks.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

class AlarmState : public TestHookProvider {
public:
    AlarmState(CameraState& camera, uint32_t inputs, uint32_t outputs);

    uint32_t Inputs() const { return uint32_t(m_inputs.size()); }
    uint32_t Outputs() const { return uint32_t(m_outputs.size()); }

    // Inputs and outputs count from 1; numbers out of range change nothing.
    void SetInput(uint32_t input, bool on);
    void SetOutput(uint32_t output, bool on);
    bool Output(uint32_t output) const;
    // One of kAlarmWindows, or empty for no motion.
    void SetMotion(const std::string& window);

    // Changes so far; a stream waits for this count to move.
    uint64_t Changes() const;
    // Returns at the deadline, on a change after seen, or within 100 ms.
    void WaitForChange(uint64_t seen, std::chrono::steady_clock::time_point deadline) const;

    // One alarm-data record's items: every window ("1" for the one seeing
    // motion while windows report, else "0"), the sensors, the outputs.
    std::string RecordItems(bool windowsReport) const;

    void AppendState(std::vector<std::string>& members) const override;
    std::optional<std::string> CheckControl(std::string_view key, std::string_view value) const override;
    void ApplyControl(std::string_view key, std::string_view value) override;

private:
    void Changed(); // under the lock

    CameraState& m_camera;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<bool> m_inputs;
    std::vector<bool> m_outputs;
    std::string m_motion;
    uint64_t m_changes = 0;
};

} // namespace camsim

// The host's I/O callback of fennwick-host io. Each input change the driver
// reports and each output change the host hands the driver becomes one line
// of the event log (stdout for the command):
//   <unix_ms> input K on|off|unknown
//   <unix_ms> output K on|off
//   <unix_ms> io failure
// K counts from 1 (the driver's index + 1). Driver threads call in at any time.
#pragma once

#include "StreamEventLog.h"

#include <talvex/ipcapture/CaptureIO.h>

#include <atomic>
#include <cstdint>

namespace fennwick_host {

// States of the I/O interface.
constexpr uint32_t kIoStateUnknown = 0;
constexpr uint32_t kIoStateOff = 1;
constexpr uint32_t kIoStateOn = 2;

class IoEventPrinter : public talvex::ipcapture::ICaptureIOCallback {
public:
    explicit IoEventPrinter(StreamEventLog& lines) : m_lines(lines) {}

    void OnInputChanged(uint32_t inputIndex, uint32_t state) override;
    void OnFailure() override;
    void PrintOutput(uint32_t outputIndex, uint32_t state);

    // Failures the driver reported (a poll or a switch that found no camera).
    uint64_t Failures() const { return m_failures.load(); }

private:
    StreamEventLog& m_lines;
    std::atomic<uint64_t> m_failures{0};
};

} // namespace fennwick_host

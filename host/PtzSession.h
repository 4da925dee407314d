// Runs the ptz command's actions on the driver's PTZ object of one channel,
// printing one line per action with the driver's result code:
//   move left 8: 1
//   presets: 2          (the preset count, or a negative code)
//   preset 0 Door       (one line per preset the driver reports)
//   wait 300            (the host's own pause: no code)
#pragma once

#include "PtzAction.h"

#include <talvex/ipcapture/PTZ.h>

#include <cstdio>
#include <vector>

namespace fennwick_host {

class PtzSession {
public:
    PtzSession(talvex::ipcapture::IIPPTZApi& ptz, FILE* out) : m_ptz(ptz), m_out(out) {}

    // Runs every action in order; the number of actions the driver did not carry out.
    size_t Run(const std::vector<PtzAction>& actions);

private:
    // The driver's result code of one control or preset call.
    int32_t Perform(const PtzAction& action);
    // Prints the count line and one line per preset; false when the driver failed.
    bool ListPresets(const PtzAction& action);

    talvex::ipcapture::IIPPTZApi& m_ptz;
    FILE* m_out;
};

} // namespace fennwick_host

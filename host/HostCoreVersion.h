// The version of the host's core library that this host offers to drivers.
// Drivers look up the C function QuorvaneProductVersion() in the process when
// a driver object is made; this executable exports it (linked with -rdynamic).
#pragma once

#include <string>

namespace fennwick_host {

// version: "major.minor.build.revision". False (nothing set) when malformed.
bool SetHostCoreVersion(const std::string& version);

} // namespace fennwick_host

extern "C" __attribute__((visibility("default"))) const char* QuorvaneProductVersion(void);

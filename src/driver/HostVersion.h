// The version of the host's core library, which decides the log levels and
// features the host understands.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace talvex {

struct HostVersion {
    uint16_t major = 5;
    uint16_t minor = 12;
    uint16_t build = 0;
    uint16_t revision = 0;

    // True when this version is older than wantedMajor.wantedMinor.
    bool IsBelow(uint16_t wantedMajor, uint16_t wantedMinor) const {
        return major < wantedMajor || (major == wantedMajor && minor < wantedMinor);
    }
};

// "a.b.c.d", each part 0 to 65535 in decimal digits; nullopt otherwise.
std::optional<HostVersion> ParseHostVersion(std::string_view text);
// A core library file name "libquorvane.so.a.b.c.d" (no directory); nullopt otherwise.
std::optional<HostVersion> ParseHostCoreFileName(std::string_view fileName);

// The version the host process offers: its exported QuorvaneProductVersion(),
// else a loaded libquorvane.so.a.b.c.d, else 5.12.0.0.
HostVersion ReadHostVersion();

} // namespace talvex

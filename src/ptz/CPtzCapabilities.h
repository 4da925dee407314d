// What a camera's PTZ can do, as device property 4 stores it: "Pan=1; Tilt=1;
// Zoom=1; ... Preset=16". Pure text code, no requests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

class CPtzCapabilities {
public:
    virtual ~CPtzCapabilities() = default;

    // Pairs name=value separated by any of "; \t\r\n"; a flag is set only by
    // the value "1"; names not present leave their defaults.
    static CPtzCapabilities FromText(std::string_view text);
    // Zoom-dependent and pan/tilt-dependent flags are written only when the
    // axis they need is there.
    std::string ToText() const;
    // Pan, tilt, zoom, focus or iris: the capabilities a host can steer.
    bool HasAny() const { return pan || tilt || zoom || focus || iris; }

    bool pan = false;
    bool tilt = false;
    bool zoom = false;
    bool focus = false;
    bool iris = false;
    bool areaZoom = false;
    bool center = false;
    bool unzoom = false;
    uint32_t presetCount = 0;

private:
    void Apply(std::string_view name, std::string_view value);
};

} // namespace talvex

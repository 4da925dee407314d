#include "ptz/CPtzCapabilities.h"

#include "common/Conversions.h"

namespace talvex {
namespace {

constexpr std::string_view kPairSeparators = "; \t\r\n";

const char* Flag(bool value) { return value ? "1" : "0"; }

} // namespace

CPtzCapabilities CPtzCapabilities::FromText(std::string_view text) {
    CPtzCapabilities capabilities;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(kPairSeparators, start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view pair = text.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (equals != std::string_view::npos)
            capabilities.Apply(pair.substr(0, equals), pair.substr(equals + 1));
        start = end + 1;
    }
    return capabilities;
}

void CPtzCapabilities::Apply(std::string_view name, std::string_view value) {
    const bool on = value == "1";
    if (name == "Pan")
        pan = on;
    else if (name == "Tilt")
        tilt = on;
    else if (name == "Zoom")
        zoom = on;
    else if (name == "Focus")
        focus = on;
    else if (name == "Iris")
        iris = on;
    else if (name == "AreaZoom")
        areaZoom = on;
    else if (name == "Center")
        center = on;
    else if (name == "Unzoom")
        unzoom = on;
    else if (name == "Preset")
        presetCount = StringToUnsigned(value);
}

std::string CPtzCapabilities::ToText() const {
    std::string text;
    text += std::string("Pan=") + Flag(pan) + "; ";
    text += std::string("Tilt=") + Flag(tilt) + "; ";
    text += std::string("Zoom=") + Flag(zoom) + "; ";
    text += std::string("Focus=") + Flag(focus) + "; ";
    text += std::string("Iris=") + Flag(iris) + "; ";
    if (unzoom && zoom)
        text += "Unzoom=1; ";
    if (areaZoom && zoom)
        text += "AreaZoom=1; ";
    if (center && (pan || tilt))
        text += "Center=1; ";
    text += "Preset=" + std::to_string(presetCount);
    return text;
}

} // namespace talvex

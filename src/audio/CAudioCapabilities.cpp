#include "audio/CAudioCapabilities.h"

#include <cstdio>
#include <string>

namespace talvex {

CAudioCapabilities CAudioCapabilities::FromText(std::string_view text) {
    // sscanf needs a terminated text; the host's texts are short.
    const std::string terminated(text);
    unsigned count = 0;
    unsigned stereo = 0;
    CAudioCapabilities capabilities;
    if (std::sscanf(terminated.c_str(), "Count=%u; IsStereo=%u", &count, &stereo) != 2)
        return capabilities;
    capabilities.Count = count;
    capabilities.IsStereo = stereo == 1;
    return capabilities;
}

} // namespace talvex

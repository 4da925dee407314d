// Host core version texts and library file names: parsed or refused, and a
// parsed version prints back to the same text.
#include "driver/HostVersion.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    talvex::ParseHostCoreFileName(text);
    if (auto version = talvex::ParseHostVersion(text)) {
        auto again = talvex::ParseHostVersion(std::to_string(version->major) + "." + std::to_string(version->minor) +
                                              "." + std::to_string(version->build) + "." +
                                              std::to_string(version->revision));
        if (!again || again->revision != version->revision || again->major != version->major)
            __builtin_trap();
    }
    return 0;
}

// The reference host's device profile reader: any text gives a profile or a
// "line N: ..." error, never a crash.
#include "DeviceProfile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fennwick_host::DeviceProfile profile;
    auto error = fennwick_host::ParseDeviceProfile(std::string_view(reinterpret_cast<const char*>(data), size), profile);
    if (error && error->rfind("line ", 0) != 0)
        __builtin_trap();
    return 0;
}

// Fuzzes the Sony identification answer parser over whole inquiry answers.
#include "device/CSonyDeviceInfo.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    talvex::CSonyDeviceInfo info;
    if (info.Parse(answer)) {
        const uint32_t generation = info.GetGeneration();
        if (generation < 1 || generation > 7 || info.GetStreamCount() == 0 || info.GetModel().empty())
            __builtin_trap();
    }
    return 0;
}

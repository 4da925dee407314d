// Fuzzes the reader of the camera's privacy mask answers: whatever the bytes,
// the masks held stay within the cap.
#include "privacy/PrivacyMaskAnswer.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto camera = talvex::PrivacyMaskAnswer::Read(std::span<const uint8_t>(data, size));
    if (camera && camera->masks.size() > talvex::PrivacyMaskAnswer::kMaxMasks)
        __builtin_trap();
    return 0;
}

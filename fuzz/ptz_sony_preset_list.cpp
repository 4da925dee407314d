// Fuzzes the preset list reader over whole "inq=presetposition" answers and
// the capability text reader over the same bytes: neither may keep more than
// its cap, invent an index 0xFFFFFFFF, or fail to read back its own text.
#include "ptz/CPtzCapabilities.h"
#include "ptz/CSonyPresetList.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto presets = talvex::CSonyPresetList::Parse(input);
    if (presets.size() > talvex::CSonyPresetList::kMaxPresets)
        __builtin_trap();
    for (const auto& [index, name] : presets)
        if (index == 0xFFFFFFFFu || name.empty())
            __builtin_trap();
    const std::string text = talvex::CPtzCapabilities::FromText(input).ToText();
    if (talvex::CPtzCapabilities::FromText(text).ToText() != text)
        __builtin_trap();
    return 0;
}

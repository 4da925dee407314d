// Reader of the camera's preset list: the "PresetName" value of the
// "inq=presetposition" answer, "<number>,<name>,<number>,<name>,...".
// Pure code over the answer text, so that it can be fuzzed on its own.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace talvex {

class CSonyPresetList {
public:
    // No camera offers more presets; a longer list is read up to this many.
    static constexpr size_t kMaxPresets = 256;

    // Preset index (number - 1) to name. Reading stops at a number that is 0
    // or not a number, or at an empty name; a lone trailing number is ignored.
    static std::map<uint32_t, std::string> Parse(std::string_view inquiryAnswer);
};

} // namespace talvex

#include "ptz/CSonyPresetList.h"

#include "common/Conversions.h"
#include "http/InquiryValue.h"

#include <vector>

namespace talvex {
namespace {

std::vector<std::string_view> SplitAtCommas(std::string_view text) {
    std::vector<std::string_view> tokens;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos)
            comma = text.size();
        tokens.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return tokens;
}

} // namespace

std::map<uint32_t, std::string> CSonyPresetList::Parse(std::string_view inquiryAnswer) {
    std::map<uint32_t, std::string> presets;
    const std::string value = GetInquiryValue(inquiryAnswer, "PresetName");
    if (value.empty())
        return presets;
    const std::vector<std::string_view> tokens = SplitAtCommas(value);
    for (size_t at = 0; at + 1 < tokens.size() && presets.size() < kMaxPresets; at += 2) {
        const uint32_t number = StringToUnsigned(tokens[at]);
        const std::string_view name = tokens[at + 1];
        if (number == 0 || name.empty())
            break;
        presets[number - 1] = std::string(name);
    }
    return presets;
}

} // namespace talvex

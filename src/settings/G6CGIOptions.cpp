#include "settings/G6CGIOptions.h"

#include "common/StringFormat.h"
#include "settings/SonyStreamRules.h"

namespace talvex {

namespace {

constexpr std::string_view kJpegQualityKey = "JpegQuality";
constexpr std::string_view kCapabilityQualityKey = "Quality";

} // namespace

void G6CGIOptions::Set(const std::string& key, std::string_view text) {
    if (!key.empty() && !text.empty())
        m_pairs.emplace_back(key, std::string(text));
}

void G6CGIOptions::Set(const std::string& key, uint32_t number) {
    Set(key, std::to_string(number));
}

void G6CGIOptions::Set(const std::string& key, double number) {
    Set(key, FormatString("%g", number));
}

bool G6CGIOptions::Has(std::string_view key, std::string_view text) const {
    for (const auto& [pairKey, pairText] : m_pairs)
        if (pairKey == key && pairText == text)
            return true;
    return false;
}

std::string G6CGIOptions::ToChangeList(std::string_view inquiry) const {
    std::string changes;
    for (const auto& [key, text] : m_pairs)
        SonyStreamRules::AddIfDiffers(changes, inquiry, key, text);
    return changes;
}

std::string G6CGIOptions::ToCapabilityList() const {
    std::string list;
    for (const auto& [key, text] : m_pairs) {
        list += '&';
        if (key.starts_with(kJpegQualityKey))
            list.append(kCapabilityQualityKey).append(key, kJpegQualityKey.size());
        else
            list += key;
        list += '=';
        list += text;
    }
    return list;
}

} // namespace talvex

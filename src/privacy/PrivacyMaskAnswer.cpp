#include "privacy/PrivacyMaskAnswer.h"

#include "common/Conversions.h"
#include "http/InquiryValue.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace talvex::PrivacyMaskAnswer {
namespace {

constexpr size_t kPositionGroup = 5; // number, x, y, w, h
constexpr uint32_t kMaxCoordinate = 0xFFFF;

std::vector<std::string_view> SplitAtComma(std::string_view text) {
    std::vector<std::string_view> tokens;
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        tokens.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos)
            return tokens;
        start = comma + 1;
    }
}

void ReadVertices(std::string_view text, CameraMasks& result) {
    result.usesVertices = true;
    const uint32_t count = std::min(StringToUnsigned(GetInquiryValue(text, "PrivacyMaxNum")), kMaxMasks);
    for (uint32_t number = 1; number <= count; ++number) {
        std::string vertices = GetInquiryValue(text, "PrivacyMaskVertex" + std::to_string(number));
        if (!vertices.empty())
            result.masks.emplace(number, CPrivacyZoneInfo(number, std::move(vertices)));
    }
}

uint16_t Coordinate(std::string_view token) {
    return uint16_t(std::min(StringToUnsigned(token), kMaxCoordinate));
}

void ReadPositions(const std::string& positions, CameraMasks& result) {
    result.usesVertices = false;
    // A comma count is bounded by the answer size, the groups by kMaxMasks.
    const std::vector<std::string_view> tokens = SplitAtComma(positions);
    if (tokens.size() % kPositionGroup != 0 || tokens.size() > kPositionGroup * kMaxMasks)
        return;
    for (size_t at = 0; at < tokens.size(); at += kPositionGroup) {
        const uint32_t number = StringToUnsigned(tokens[at]);
        result.masks.insert_or_assign(number, CPrivacyZoneInfo(number, Coordinate(tokens[at + 1]),
                                                               Coordinate(tokens[at + 2]), Coordinate(tokens[at + 3]),
                                                               Coordinate(tokens[at + 4])));
    }
}

// The key may stand with an empty value at the start or after any item separator.
bool HasDisplayListKey(std::string_view text) {
    if (!GetInquiryValue(text, "PrivacyDisplay").empty() || text.starts_with("PrivacyDisplay="))
        return true;
    for (char separator : kInquiryItemSeparators)
        if (text.find(std::string(1, separator) + "PrivacyDisplay=") != std::string_view::npos)
            return true;
    return false;
}

void ReadDisplayed(std::string_view text, CameraMasks& result) {
    result.usesDisplayList = HasDisplayListKey(text);
    const std::string shown = GetInquiryValue(text, result.usesDisplayList ? "PrivacyDisplay" : "PrivacyMonitor");
    if (shown.empty())
        return;
    for (std::string_view token : SplitAtComma(shown)) {
        auto mask = result.masks.find(StringToUnsigned(token));
        if (mask != result.masks.end())
            mask->second.SetDisplayed(true);
    }
}

} // namespace

std::optional<CameraMasks> Read(std::span<const uint8_t> answer) {
    if (answer.empty() || answer.size() > kMaxAnswerBytes)
        return std::nullopt;
    const std::string_view text(reinterpret_cast<const char*>(answer.data()), answer.size());
    CameraMasks result;
    if (text.find("PrivacyMaskVertex") != std::string_view::npos) {
        ReadVertices(text, result);
    } else {
        const std::string positions = GetInquiryValue(text, "PrivacyMaskPosition");
        if (!positions.empty())
            ReadPositions(positions, result);
    }
    ReadDisplayed(text, result);
    return result;
}

} // namespace talvex::PrivacyMaskAnswer

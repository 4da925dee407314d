#include "settings/SonyStreamRules.h"

#include "common/Conversions.h"
#include "common/StringFormat.h"
#include "http/InquiryValue.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace talvex::SonyStreamRules {

namespace {

constexpr std::array<uint32_t, 15> kBitRateSteps = {64,   128,  256,  384,  512,  768,  1024, 1536,
                                                    2048, 3072, 4096, 5120, 6144, 7168, 8192};
// Bit rates a camera offers between its limits (kbit/s); above the table, every
// multiple of kBitRateStepAboveTable.
constexpr std::array<uint32_t, 14> kCapabilityBitRates = {64,   128,  256,  384,  512,  768,  1000,
                                                          1500, 2000, 3000, 4000, 5000, 6000, 7000};
constexpr uint32_t kBitRateStepAboveTable = 8000;
constexpr uint32_t kMaxQuality = 100;
constexpr Resolution kSecondStreamLimit{640, 480};
constexpr Resolution kSecondStreamFollowLimit{1376, 768};

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

// Whole number from 1 to 65535, digits only.
std::optional<uint16_t> ParseDimension(std::string_view text) {
    const uint32_t value = StringToUnsigned(text);
    if (value < 1 || value > UINT16_MAX)
        return std::nullopt;
    return uint16_t(value);
}

// Two decimal numbers of 0..65535 joined by separator, nothing else.
std::optional<Resolution> ParseTwoNumbers(std::string_view text, char separator) {
    const auto parts = Split(text, separator);
    if (parts.size() != 2)
        return std::nullopt;
    uint16_t numbers[2];
    for (size_t i = 0; i < 2; ++i) {
        const bool digitsOnly = !parts[i].empty() && parts[i].find_first_not_of("0123456789") == std::string_view::npos;
        const uint32_t value = StringToUnsigned(parts[i]);
        if (!digitsOnly || value > UINT16_MAX || (value == 0 && parts[i].find_first_not_of('0') != std::string_view::npos))
            return std::nullopt;
        numbers[i] = uint16_t(value);
    }
    return Resolution{numbers[0], numbers[1]};
}

} // namespace

std::string_view CodecName(uint32_t codecType) {
    switch (codecType) {
    case 0: return "off";
    case 1: return "jpeg";
    case 2: return "mpeg4";
    case 3: return "h264";
    default: return {};
    }
}

uint32_t ScaleLevel(uint32_t quality, uint32_t low, uint32_t high) {
    if (low >= high)
        return high;
    const uint32_t q = quality < 1 ? 1 : quality > kMaxQuality ? kMaxQuality : quality;
    const double scaled = double(q - 1) / double(kMaxQuality - 1) * double(high - low) + 0.5;
    const uint32_t level = low + uint32_t(std::trunc(scaled));
    return level > high ? high : level;
}

uint32_t BitRateForQuality(uint32_t quality) {
    return kBitRateSteps[ScaleLevel(quality, 0, kBitRateSteps.size() - 1)];
}

Resolution LimitSecondStream(Resolution wish, Resolution firstStream) {
    if (wish <= kSecondStreamLimit)
        return wish;
    if (firstStream <= kSecondStreamFollowLimit)
        return std::max(kSecondStreamLimit, firstStream);
    return kSecondStreamLimit;
}

std::string FormatImageSize(Resolution size) {
    if (!size.width || !size.height)
        return {};
    return FormatString("%hu,%hu", size.width, size.height);
}

std::optional<Resolution> ParseImageSize(std::string_view text) {
    return ParseTwoNumbers(text, ',');
}

std::set<uint32_t> ParseFrameRateList(std::string_view text) {
    std::set<uint32_t> rates;
    for (std::string_view token : Split(text, ','))
        if (uint32_t rate = StringToUnsigned(token))
            rates.insert(rate);
    return rates;
}

std::optional<Resolution> ParseMaximalResolution(std::string_view text) {
    return ParseTwoNumbers(text, 'x');
}

std::set<Resolution> ParseResolutionList(std::string_view text) {
    std::set<Resolution> resolutions;
    for (std::string_view entry : Split(text, ';')) {
        const auto tokens = Split(entry, ',');
        if (tokens.size() != 2)
            continue;
        auto width = ParseDimension(tokens[0]);
        auto height = ParseDimension(tokens[1]);
        if (width && height)
            resolutions.insert({*width, *height});
    }
    return resolutions;
}

std::map<uint16_t, std::string> ParseFrameRateMap(std::string_view text) {
    std::map<uint16_t, std::string> entries;
    for (std::string_view entry : Split(text, ';')) {
        const size_t equals = entry.find('=');
        if (equals == std::string_view::npos || equals + 1 == entry.size())
            continue;
        if (auto number = ParseDimension(entry.substr(0, equals)))
            entries[*number] = std::string(entry.substr(equals + 1));
    }
    return entries;
}

std::optional<std::vector<std::string>> CapableTokens(std::string_view answer, std::string_view target) {
    const std::string value = GetInquiryValue(answer, "Capable" + std::string(target));
    if (value.empty())
        return std::nullopt;
    const auto parts = Split(value, ',');
    if (parts.size() > kMaxCapabilityTokens)
        return std::nullopt;
    return std::vector<std::string>(parts.begin(), parts.end());
}

std::optional<std::set<Resolution>> CapableResolutions(const std::vector<std::string>& tokens) {
    if (tokens.size() % 2)
        return std::nullopt;
    std::set<Resolution> resolutions;
    for (size_t i = 0; i < tokens.size(); i += 2) {
        const uint32_t width = StringToUnsigned(tokens[i]);
        const uint32_t height = StringToUnsigned(tokens[i + 1]);
        if (width && height && width <= UINT16_MAX && height <= UINT16_MAX)
            resolutions.insert({uint16_t(width), uint16_t(height)});
    }
    return resolutions;
}

std::set<uint32_t> CapableWholeRates(const std::vector<std::string>& tokens) {
    std::set<uint32_t> rates;
    for (const std::string& token : tokens)
        if (uint32_t rate = StringToUnsigned(token))
            rates.insert(rate);
    return rates;
}

std::set<double> CapableRealRates(const std::vector<std::string>& tokens) {
    std::set<double> rates;
    for (const std::string& token : tokens) {
        char* end = nullptr;
        const double rate = std::strtod(token.c_str(), &end);
        if (!token.empty() && end && *end == '\0' && std::isfinite(rate) && rate > 0)
            rates.insert(rate);
    }
    return rates;
}

std::optional<std::set<uint32_t>> CapableLevels(const std::vector<std::string>& tokens, bool qualityTarget) {
    if (tokens.size() < 2)
        return std::nullopt;
    const uint32_t low = StringToUnsigned(tokens.front());
    const uint32_t high = StringToUnsigned(tokens.back());
    std::set<uint32_t> levels;
    if (qualityTarget) {
        if (low <= high && high - low >= kMaxQualityLevels)
            return std::nullopt;
        for (uint64_t level = low; level <= high; ++level)
            levels.insert(uint32_t(level));
        return levels;
    }
    if (high / kBitRateStepAboveTable >= kMaxQualityLevels)
        return std::nullopt;
    levels.insert(kCapabilityBitRates.begin(), kCapabilityBitRates.end());
    for (uint32_t rate = kBitRateStepAboveTable; rate <= high; rate += kBitRateStepAboveTable)
        levels.insert(rate);
    if (low < high)
        std::erase_if(levels, [&](uint32_t rate) { return rate < low || rate > high; });
    return levels;
}

void AddIfDiffers(std::string& out, std::string_view inquiry, const std::string& key, std::string_view wanted) {
    if (wanted.empty())
        return;
    const std::string current = GetInquiryValue(inquiry, key);
    if (current.empty() || current == wanted)
        return;
    out += '&';
    out += key;
    out += '=';
    out += wanted;
}

void AddIfDiffersNumber(std::string& out, std::string_view inquiry, const std::string& key, uint32_t wanted) {
    AddIfDiffers(out, inquiry, key, std::to_string(wanted));
}

std::string CommonOptions(std::string_view inquiry) {
    std::string options;
    AddIfDiffers(options, inquiry, "LightFunnelMode", "auto");
    AddIfDiffers(options, inquiry, "Color", "color");
    AddIfDiffers(options, inquiry, "Multicast", "off");
    AddIfDiffers(options, inquiry, "RTSPTimeout", "30");
    AddIfDiffersNumber(options, inquiry, "RtpExpire", 10000);
    return options;
}

} // namespace talvex::SonyStreamRules

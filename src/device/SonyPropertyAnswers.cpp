#include "device/SonyPropertyAnswers.h"

#include "common/Conversions.h"
#include "common/StringFormat.h"
#include "http/InquiryValue.h"

#include <cmath>

namespace talvex::SonyPropertyAnswers {

namespace {

constexpr uint32_t kFirstSuffixedOutputGeneration = 6;

// Keys made from format with 1, 2, ... that have a value, up to the first gap.
uint32_t CountNumberedKeys(std::string_view answer, const char* format) {
    uint32_t count = 0;
    while (count < kMaxIoCount && !GetInquiryValue(answer, FormatString(format, count + 1)).empty())
        ++count;
    return count;
}

bool HasValue(std::string_view answer, std::string_view key) {
    return !GetInquiryValue(answer, key).empty();
}

} // namespace

uint32_t CountInputs(std::string_view answer) {
    const uint32_t numbered = CountNumberedKeys(answer, "Sensor%u");
    if (numbered)
        return numbered;
    return HasValue(answer, "Sensor") ? 1 : 0;
}

uint32_t CountOutputs(std::string_view answer, uint32_t generation) {
    const std::string announced = GetInquiryValue(answer, "AlmAoNum");
    if (!announced.empty())
        return std::min(StringToUnsigned(announced), kMaxIoCount);
    const uint32_t numbered = CountNumberedKeys(
        answer, generation >= kFirstSuffixedOutputGeneration ? "AlarmOutFuncAo%u" : "AlarmOut%uFunc");
    if (numbered)
        return numbered;
    return HasValue(answer, "AlarmOutFunc") ? 1 : 0;
}

std::optional<Resolution> ImageMaxSize(std::string_view answer) {
    return SonyStreamRules::ParseImageSize(GetInquiryValue(answer, "ImageMaxSize"));
}

PrivacyFacts ReadPrivacyFacts(std::string_view answer, uint32_t fallbackCount) {
    PrivacyFacts facts;
    const uint32_t announced = StringToUnsigned(GetInquiryValue(answer, "PrivacyMaxNum"));
    facts.maskCount = announced ? announced : fallbackCount;
    if (answer.find("PrivacyMaskVertex") != std::string_view::npos)
        facts.maskKind = kPolygonMasks;
    return facts;
}

std::map<uint16_t, std::string> FrameRateTexts(const std::vector<std::string>& tokens) {
    std::map<uint16_t, std::string> texts;
    for (const std::string& token : tokens) {
        const std::set<double> rate = SonyStreamRules::CapableRealRates({token});
        if (rate.empty() || *rate.begin() >= UINT16_MAX + 0.5)
            continue;
        const auto whole = uint16_t(std::lround(std::max(1.0, *rate.begin())));
        auto [entry, added] = texts.emplace(whole, token);
        // A camera's exact whole rate wins over a near one ("30" over "29.97").
        if (!added && token == std::to_string(whole))
            entry->second = token;
    }
    return texts;
}

} // namespace talvex::SonyPropertyAnswers

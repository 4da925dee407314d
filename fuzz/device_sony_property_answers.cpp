// Fuzzes the readers of the camera properties: the input is one inquiry or
// capability answer, read as each of them. Counts stay within their cap and
// every frame rate maps to a whole rate of at least one.
#include "device/SonyPropertyAnswers.h"

#include "settings/SonyStreamRules.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace answers = talvex::SonyPropertyAnswers;
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    if (answers::CountInputs(answer) > answers::kMaxIoCount)
        __builtin_trap();
    for (uint32_t generation = 1; generation <= 7; generation += 5)
        if (answers::CountOutputs(answer, generation) > answers::kMaxIoCount)
            __builtin_trap();
    answers::ImageMaxSize(answer);
    const answers::PrivacyFacts privacy = answers::ReadPrivacyFacts(answer, 8);
    if (privacy.maskKind != answers::kRectangleMasks && privacy.maskKind != answers::kPolygonMasks)
        __builtin_trap();
    if (const auto tokens = talvex::SonyStreamRules::CapableTokens(answer, "FrameRate1"))
        for (const auto& [whole, text] : answers::FrameRateTexts(*tokens))
            if (whole == 0 || text.empty())
                __builtin_trap();
    return 0;
}

// Fuzzes the readers of the video settings manager: the camera's capability
// answers (image sizes, frame rates, quality and bit-rate levels) and the
// device property lists (frame rates, resolutions, frame-rate maps).
#include "settings/SonyStreamRules.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace talvex::SonyStreamRules;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (std::string_view target : {"ImageSize1", "FrameRate1", "H264Quality1", "BitRate2"}) {
        auto tokens = CapableTokens(input, target);
        if (!tokens)
            continue;
        if (tokens->size() > kMaxCapabilityTokens)
            __builtin_trap();
        CapableResolutions(*tokens);
        CapableWholeRates(*tokens);
        CapableRealRates(*tokens);
        for (bool quality : {true, false})
            if (auto levels = CapableLevels(*tokens, quality); levels && levels->size() > kMaxQualityLevels + 32)
                __builtin_trap();
    }
    ParseFrameRateList(input);
    ParseMaximalResolution(input);
    ParseImageSize(input);
    ParseResolutionList(input);
    ParseFrameRateMap(input);
    return 0;
}

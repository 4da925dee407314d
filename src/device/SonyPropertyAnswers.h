// Readers of the inquiry and capability answers that the camera properties
// gather: digital input and output counts, the maximal image size, privacy
// facts and the frame rates a capability answer names. Pure code over the
// answer text, so that each reader can be fuzzed on its own.
#pragma once

#include "settings/SonyStreamRules.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace talvex::SonyPropertyAnswers {

using SonyStreamRules::Resolution;

// Numbered keys ("Sensor1", "AlarmOut2Func", ...) counted at most up to this;
// also the most inputs or outputs an "AlmAoNum" value can announce.
inline constexpr uint32_t kMaxIoCount = 64;

// "inq=sensor": consecutive "Sensor1", "Sensor2", ... with a value; one for a
// lone "Sensor" key.
uint32_t CountInputs(std::string_view answer);
// "inq=alarmout": "AlmAoNum" when given; else consecutive "AlarmOutFuncAo<n>"
// (generations 6 and 7) or "AlarmOut<n>Func" (others); else one for the
// unnumbered "AlarmOutFunc" of single-output cameras.
uint32_t CountOutputs(std::string_view answer, uint32_t generation);

// "ImageMaxSize=w,h" (digits and one comma only).
std::optional<Resolution> ImageMaxSize(std::string_view answer);

// Mask kinds of the capability results.
inline constexpr uint32_t kRectangleMasks = 1;
inline constexpr uint32_t kPolygonMasks = 2;
struct PrivacyFacts {
    uint32_t maskCount = 0;
    uint32_t maskKind = kRectangleMasks;
};
// "inq=masking" or "inq=fcb": "PrivacyMaxNum" when given, else fallbackCount;
// polygon masks when the answer holds "PrivacyMaskVertex" keys.
PrivacyFacts ReadPrivacyFacts(std::string_view answer, uint32_t fallbackCount);

// Frame rates of a capability answer's tokens mapped by whole frames per
// second to the camera's own text ("30" -> "29.97" only when no "30" is named).
std::map<uint16_t, std::string> FrameRateTexts(const std::vector<std::string>& tokens);

} // namespace talvex::SonyPropertyAnswers

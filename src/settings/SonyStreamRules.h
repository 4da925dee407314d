// The value rules of the Sony stream settings: quality scaling, nearest
// values, the device property lists the manager reads, the camera's
// capability answers and the "send only what differs" option builder.
// Pure code over text, so that every reader can be fuzzed on its own.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace talvex::SonyStreamRules {

struct Resolution {
    uint16_t width = 0;
    uint16_t height = 0;
    // Width first, then height.
    auto operator<=>(const Resolution&) const = default;
};

// A camera may name many levels; these bound what one capability answer can grow.
inline constexpr size_t kMaxCapabilityTokens = 4096;
inline constexpr size_t kMaxQualityLevels = 4096;

// "off", "jpeg", "mpeg4", "h264" by codecType; empty for other values.
std::string_view CodecName(uint32_t codecType);

// q clamped to 1..100 mapped linearly onto low..high (high when low >= high).
uint32_t ScaleLevel(uint32_t quality, uint32_t low, uint32_t high);
// kbit/s for a quality of 1..100 on the cameras' fixed bit-rate steps.
uint32_t BitRateForQuality(uint32_t quality);

// The smallest element not below wanted, the largest when all are below,
// wanted itself for an empty set.
template <class T>
T Nearest(const std::set<T>& values, const T& wanted) {
    if (values.empty())
        return wanted;
    auto it = values.lower_bound(wanted);
    return it == values.end() ? *values.rbegin() : *it;
}

// Second-stream rule: the size of stream 2 given the wish and stream 1's size.
Resolution LimitSecondStream(Resolution wish, Resolution firstStream);

// "w,h" as the camera writes image sizes; empty when either is 0.
std::string FormatImageSize(Resolution size);
// "w,h" of an image size value (numbers of 0..65535); nullopt for anything else.
std::optional<Resolution> ParseImageSize(std::string_view text);

// Device property readers.
// Comma-separated decimal frame rates; zeros dropped.
std::set<uint32_t> ParseFrameRateList(std::string_view text);
// "WxH" (numbers of 0..65535); nullopt for anything else.
std::optional<Resolution> ParseMaximalResolution(std::string_view text);
// "w,h;w,h;..."; entries with other than two tokens or numbers outside 1..65535 dropped.
std::set<Resolution> ParseResolutionList(std::string_view text);
// "n=text;..."; n from 1 to 65535, text not empty, later entries replace earlier ones.
std::map<uint16_t, std::string> ParseFrameRateMap(std::string_view text);

// Capability answers of "/command/capability-video?Target=<target>".
// The tokens of "Capable<target>"; nullopt when the value is empty or too long.
std::optional<std::vector<std::string>> CapableTokens(std::string_view answer, std::string_view target);
// Width and height pairs; pairs with a zero dropped; nullopt for an odd count.
std::optional<std::set<Resolution>> CapableResolutions(const std::vector<std::string>& tokens);
// Non-zero whole rates.
std::set<uint32_t> CapableWholeRates(const std::vector<std::string>& tokens);
// Positive real rates.
std::set<double> CapableRealRates(const std::vector<std::string>& tokens);
// First and last token as the range; every level for quality targets, the
// cameras' bit-rate steps within the range otherwise. nullopt with fewer
// than two tokens or a range beyond kMaxQualityLevels.
std::optional<std::set<uint32_t>> CapableLevels(const std::vector<std::string>& tokens, bool qualityTarget);

// "&key=wanted" appended when the inquiry reports key with another, non-empty
// value and wanted is not empty; keys the camera does not report are skipped.
void AddIfDiffers(std::string& out, std::string_view inquiry, const std::string& key, std::string_view wanted);
void AddIfDiffersNumber(std::string& out, std::string_view inquiry, const std::string& key, uint32_t wanted);
// Options every stream configuration carries: light funnel, colour, unicast, time-outs.
std::string CommonOptions(std::string_view inquiry);

} // namespace talvex::SonyStreamRules

#include "device/SonyModelFacts.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace talvex::SonyModelFacts {

namespace {

enum class Standard { Any, Pal, Ntsc };

bool StandardMatches(Standard standard, const CSonyDeviceInfo& info) {
    if (standard == Standard::Any)
        return true;
    const bool ntsc = info.GetVideoStandard() == CSonyDeviceInfo::kVideoStandardNtsc;
    return (standard == Standard::Ntsc) == ntsc;
}

// A row matches when the model contains one of its texts (none: any model),
// the generation is its own (0: any) and the video standard fits.
struct ModelMatch {
    std::vector<std::string_view> modelParts;
    uint32_t generation = 0;
    Standard standard = Standard::Any;

    bool Matches(const CSonyDeviceInfo& info) const {
        const std::string& model = info.GetModel();
        const bool modelFits = modelParts.empty() ||
                               std::any_of(modelParts.begin(), modelParts.end(), [&](std::string_view part) {
                                   return model.find(part) != std::string::npos;
                               });
        return modelFits && (generation == 0 || generation == info.GetGeneration()) &&
               StandardMatches(standard, info);
    }
};

struct ResolutionRow {
    ModelMatch match;
    std::vector<Resolution> sizes;
};

// Largest first, as the camera lists them; the last row matches every model.
const std::vector<ResolutionRow> kResolutionRows = {
    // Chosen here, from the SNC-Z20's JPEG sizes: 736 x 480 on NTSC.
    {{{"SNC-Z20"}, 0, Standard::Ntsc}, {{736, 480}, {640, 480}, {320, 240}, {160, 120}}},
    // Chosen here: the SNC-Z20 on PAL, 736 x 544.
    {{{"SNC-Z20"}, 0, Standard::Pal}, {{736, 544}, {640, 480}, {320, 240}, {160, 120}}},
    // Chosen here: the PAL domes and the RX series add 384 x 288 (half of the PAL D1 picture).
    {{{"SNC-RX5", "SNC-CS50P", "SNC-DF50P", "SNC-DF80P", "SNC-DF85P", "SNC-RZ50P"}},
     {{640, 480}, {384, 288}, {320, 240}, {160, 120}}},
    // Chosen here: the SNC-P1 has the general table without 480 x 360 and 384 x 288.
    {{{"SNC-P1"}}, {{640, 480}, {320, 240}, {160, 120}}},
    // Chosen here: the frame sizes generation 5 encoders name in "ImageSize1" (up to
    // QXGA; HD, SXGA, XGA, SVGA, D1 and CIF of both video standards, VGA and below).
    // Probing keeps the ones the camera accepts, so a superset costs requests only.
    {{{}, 5},
     {{2048, 1536}, {1920, 1080}, {1600, 1200}, {1280, 960}, {1280, 720}, {1024, 768}, {800, 600}, {720, 576},
      {720, 480}, {640, 480}, {352, 288}, {352, 240}, {320, 240}, {160, 120}}},
    // Chosen here: the general table of the JPEG and MPEG-4 generations; probing
    // keeps what the camera accepts.
    {{{}}, {{640, 480}, {480, 360}, {384, 288}, {320, 240}, {160, 120}}},
};

struct FrameRateRow {
    ModelMatch match;
    std::vector<uint32_t> added;
};

// Every generation below 6 offers these; the rows add their own.
constexpr std::array<uint32_t, 7> kCommonFrameRates = {1, 2, 3, 4, 5, 6, 8};
const std::vector<FrameRateRow> kFrameRateRows = {
    // Rows for generations 1 to 4: fixed by the identification rules.
    {{{}, 1, Standard::Pal}, {12, 16, 20}},
    {{{}, 1, Standard::Ntsc}, {10, 15, 20, 25}},
    {{{}, 2, Standard::Pal}, {10, 15, 20, 25}},
    {{{}, 2, Standard::Ntsc}, {10, 15, 20, 30}},
    {{{}, 3, Standard::Pal}, {12, 16, 20, 25}},
    {{{}, 3, Standard::Ntsc}, {10, 15, 20, 25, 30}},
    {{{}, 4}, {10, 15, 20, 25, 30}},
    // Chosen here: the SNT-E video servers encode their analogue input at its
    // field rate at most (25 on PAL, 30 on NTSC).
    {{{"SNT-E"}, 5, Standard::Pal}, {10, 15, 20, 25}},
    {{{"SNT-E"}, 5, Standard::Ntsc}, {10, 15, 20, 30}},
    // Chosen here: the generation 5 cameras keep generation 4's rates.
    {{{}, 5}, {10, 15, 20, 25, 30}},
    // Generations 6 and 7 ask the camera instead.
    {{{}}, {}},
};

struct SizeProbeRow {
    ModelMatch match;
    std::string_view key;
    bool withHeight;       // "w,h" rather than the width alone
    std::string_view tail; // appended to the width ("640,2")
};

// The keys and value forms that the channels send for a stream's size and that
// "inq=camera" reports back; the last row matches every model.
const std::vector<SizeProbeRow> kSizeProbeRows = {
    {{{}, 1}, "ImageSize", false, ""},
    {{{}, 2}, "ImageSize", false, ",2"},
    {{{}, 3}, "JpImageSize", false, ""},
    {{{}, 4}, "H264ImageSize", false, ""},
    {{{}}, "ImageSize1", true, ""},
};

struct PresetRow {
    ModelMatch match;
    uint32_t presets;
};

// Chosen here: the SNC-WR series keeps 256 preset positions, the other PTZ
// heads the 16 of their presetposition.cgi; cameras without a head none.
const std::vector<PresetRow> kPresetRows = {
    {{{"SNC-WR"}}, 256},
    {{{}}, 16},
};

struct CodecWord {
    std::string_view entry;
    std::string_view camera;
};
// The capability entries' codec names beside the camera's words, in entry order.
constexpr std::array<CodecWord, 3> kCodecWords = {{{"h264", "h264"}, {"mpeg", "mpeg4"}, {"jpeg", "jpeg"}}};

// Chosen here: every Sony camera with audio carries one mono channel per direction.
constexpr AudioChannels kAudioChannels = {1, false};
// Chosen here: the "fcb" answer names the masks set, not how many the camera
// holds; the cameras answering it keep eight.
constexpr uint32_t kFcbMaskCount = 8;
constexpr uint32_t kFirstPerCodecKeyGeneration = 3;
constexpr uint32_t kLastPerCodecKeyGeneration = 4;

template <class Row>
const Row& Lookup(const std::vector<Row>& rows, const CSonyDeviceInfo& info) {
    for (const Row& row : rows)
        if (row.match.Matches(info))
            return row;
    return rows.back();
}

} // namespace

std::vector<Resolution> ResolutionTable(const CSonyDeviceInfo& info) {
    const auto& sizes = Lookup(kResolutionRows, info).sizes;
    return std::vector<Resolution>(sizes.rbegin(), sizes.rend());
}

std::vector<uint32_t> FixedFrameRates(const CSonyDeviceInfo& info) {
    std::vector<uint32_t> rates(kCommonFrameRates.begin(), kCommonFrameRates.end());
    const auto& added = Lookup(kFrameRateRows, info).added;
    rates.insert(rates.end(), added.begin(), added.end());
    return rates;
}

SizeProbe ProbeOf(const CSonyDeviceInfo& info, Resolution size) {
    const SizeProbeRow& row = Lookup(kSizeProbeRows, info);
    std::string value = std::to_string(size.width);
    if (row.withHeight)
        value += "," + std::to_string(size.height);
    value += row.tail;
    return {std::string(row.key), value};
}

std::vector<std::string> CodecNames(const CSonyDeviceInfo& info) {
    std::vector<std::string> words;
    if (info.IsH264Supported())
        words.push_back("h264");
    if (info.IsMPEG4Supported())
        words.push_back("mpeg4");
    if (info.IsJPEGSupported())
        words.push_back("jpeg");
    return CodecNamesOf(words);
}

std::vector<std::string> CodecNamesOf(const std::vector<std::string>& cameraWords) {
    std::vector<std::string> names;
    for (const CodecWord& codec : kCodecWords)
        if (std::find(cameraWords.begin(), cameraWords.end(), codec.camera) != cameraWords.end())
            names.emplace_back(codec.entry);
    return names;
}

std::string CameraCodecWord(const std::string& name) {
    for (const CodecWord& codec : kCodecWords)
        if (codec.entry == name)
            return std::string(codec.camera);
    return name;
}

PtzExtras PtzExtrasOf(const CSonyDeviceInfo& info) {
    PtzExtras extras;
    // A Sony zoom block is steered through VISCA, which also drives its focus.
    extras.focus = info.HasZoom();
    extras.presetCount = info.HasPanTilt() ? Lookup(kPresetRows, info).presets : 0;
    return extras;
}

AudioChannels AudioInputOf(const CSonyDeviceInfo& info) {
    return info.HasAudioInput() ? kAudioChannels : AudioChannels{};
}

AudioChannels AudioOutputOf(const CSonyDeviceInfo& info) {
    return info.HasAudioOutput() ? kAudioChannels : AudioChannels{};
}

uint32_t FcbMaskCount(const CSonyDeviceInfo& info) {
    return info.HasPrivacyMasking() ? kFcbMaskCount : 0;
}

bool HasPerCodecImageKeys(const CSonyDeviceInfo& info) {
    return info.GetGeneration() >= kFirstPerCodecKeyGeneration && info.GetGeneration() <= kLastPerCodecKeyGeneration;
}

bool HasPerCodecFrameRateKeys(const CSonyDeviceInfo& info) {
    return HasPerCodecImageKeys(info);
}

} // namespace talvex::SonyModelFacts

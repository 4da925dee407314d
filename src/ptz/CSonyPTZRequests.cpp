#include "ptz/CSonyPTZRequests.h"

#include "common/StringFormat.h"

#include <algorithm>

namespace talvex {
namespace {

constexpr const char* kDirectionNames[] = {"left",      "right",    "up",        "down",       "up-left",
                                           "up-right",  "down-left", "down-right", "tele",      "wide"};
// From generation 5 the cameras name the stream an area zoom refers to.
constexpr uint32_t kImageNameGeneration = 5;
// Generations after this one save a preset with its thumbnail switch.
constexpr uint32_t kLastGenerationWithoutThumbnail = 5;

struct ViscaText {
    const char* text;
    bool withSpeed; // the speed digit and "FF" follow the text
};

// Codes of VISCA's camera command set: 8x 01 04 07 2p/3p zoom, 8x 01 04 08 2p/3p focus.
constexpr ViscaText kViscaTexts[] = {
    {"810104072", true},  {"810104073", true},  {"8101040700FF", false}, {"8101044700000000FF", false},
    {"810104082", true},  {"810104083", true},  {"8101040800FF", false},
};

const char* CodecSuffix(uint32_t defaultCodec) {
    switch (defaultCodec) {
    case 1:
        return ",jpeg";
    case 2:
        return ",mpeg4";
    case 3:
        return ",h264";
    default:
        return "";
    }
}

} // namespace

uint32_t CSonyPTZRequests::ViscaSpeed(uint32_t hostSpeed) { return std::min((hostSpeed - 1) / 2, kMaxViscaSpeed); }

std::string CSonyPTZRequests::ViscaPath(uint32_t command, uint32_t viscaSpeed) {
    if (command >= std::size(kViscaTexts))
        return {};
    const ViscaText& visca = kViscaTexts[command];
    std::string path = std::string("/command/ptzf.cgi?visca=") + visca.text;
    if (visca.withSpeed)
        path += FormatString("%uFF", std::min(viscaSpeed, kMaxViscaSpeed));
    return path;
}

std::string CSonyPTZRequests::MovePath(uint32_t direction, uint32_t cameraSpeed) {
    if (direction >= std::size(kDirectionNames))
        return {};
    return FormatString("%s%s,%u", kMovePrefix, kDirectionNames[direction], cameraSpeed);
}

std::string CSonyPTZRequests::StopPath(const char* what) { return std::string(kMovePrefix) + "stop," + what; }

std::string CSonyPTZRequests::FocusPath(bool near, uint32_t cameraSpeed) {
    return FormatString("%s%s,%u", kMovePrefix, near ? "near" : "far", cameraSpeed);
}

std::string CSonyPTZRequests::AreaZoomPath(uint32_t x, uint32_t y, uint32_t percent, uint32_t width,
                                           uint32_t height, const std::string& model, uint32_t generation,
                                           uint32_t defaultCodec) {
    const int64_t dx = int64_t(int32_t(x)) - int64_t(width / 2);
    const int64_t dy = int64_t(int32_t(y)) - int64_t(height / 2);
    const uint64_t w = percent ? uint64_t(width) * 100 / percent : 0;
    const uint64_t h = percent ? uint64_t(height) * 100 / percent : 0;
    std::string path = FormatString("/command/ptzf.cgi?AreaZoom=%lld,%lld,%llu,%llu", (long long)dx, (long long)dy,
                                    (unsigned long long)w, (unsigned long long)h);
    if (model.find("SNC-RZ") == std::string::npos)
        path += generation < kImageNameGeneration ? CodecSuffix(defaultCodec) : ",Image1";
    return path;
}

std::string CSonyPTZRequests::FocusModePath(bool automatic) {
    return std::string("/command/camera.cgi?FocusMode=") + (automatic ? "auto" : "manual");
}

std::string CSonyPTZRequests::ExposureModePath(bool full) {
    return std::string("/command/camera.cgi?ExpMode=") + (full ? "full" : "manual");
}

std::string CSonyPTZRequests::IrisPath(int32_t irisIndex) {
    return FormatString("/command/camera.cgi?ExpMode=manual&Iris=%d", irisIndex);
}

std::string CSonyPTZRequests::PresetSetBody(const std::string& name, uint32_t index, uint32_t generation) {
    std::string body = FormatString("PresetSet=%u,", index + 1) + name;
    if (generation > kLastGenerationWithoutThumbnail)
        body += ",off";
    return body;
}

std::string CSonyPTZRequests::PresetCallPath(uint32_t index, uint32_t cameraSpeed) {
    return FormatString("%s?PresetCall=%u,%u", kPresetPath, index + 1, cameraSpeed);
}

std::string CSonyPTZRequests::PresetClearPath(uint32_t index) {
    return FormatString("%s?PresetClear=%u", kPresetPath, index + 1);
}

} // namespace talvex

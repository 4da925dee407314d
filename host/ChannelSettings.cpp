#include "ChannelSettings.h"

#include <array>

namespace fennwick_host {
namespace {

constexpr std::array<const char*, kStreamCount> kStreamNames = {"rec", "live", "remote"};

} // namespace

std::string_view StreamName(uint32_t streamIndex) {
    return streamIndex < kStreamCount ? kStreamNames[streamIndex] : "?";
}

std::optional<uint32_t> StreamIndexOfName(std::string_view name) {
    for (uint32_t index = 0; index < kStreamCount; ++index)
        if (name == kStreamNames[index])
            return index;
    return std::nullopt;
}

std::string_view CodecName(uint32_t codecType) {
    switch (codecType) {
    case 1:
        return "jpeg";
    case 2:
        return "mpeg4";
    case 3:
        return "h264";
    default:
        return "default";
    }
}

uint16_t PictureFrameInterval(uint32_t framesPerSecond) {
    constexpr uint32_t kMarkedRateTag = 0x7000;
    constexpr uint32_t kMaxUnmarkedRate = 30;
    if (framesPerSecond == 0)
        return 0;
    if (framesPerSecond > kMaxUnmarkedRate)
        return uint16_t(kMarkedRateTag | framesPerSecond);
    return uint16_t((1000 + framesPerSecond / 2) / framesPerSecond);
}

VideoChannelSettings::VideoChannelSettings(const StreamRequest& request,
                                           talvex::ipcapture::IPrivacyZoneList* privacyZones)
    : m_stream(request.width, request.height, request.codecType),
      m_picture(request.framesPerSecond, request.quality, request.motion),
      m_name(request.streamIndex < kStreamCount ? kStreamNames[request.streamIndex] : ""),
      m_privacyZones(privacyZones) {}

} // namespace fennwick_host

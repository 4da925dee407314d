// Per-device overrides of streaming and audio choices from "<driver>.xml"
// beside the host executable. Each read opens the file anew.
#pragma once

#include <talvex/ipcapture/DeviceInfo.h>

#include <cstdint>
#include <string>

namespace talvex {

enum RtpMode : uint32_t { kRtpOverUdp = 0, kRtpOverTcp = 1, kRtpOverRtsp = 2 };

struct VIDEO_CONFIG {
    bool disableSecondStream = true;
    bool privacyMasking = true;
    bool constantBitRate = false;
    uint32_t rtpMode = kRtpOverUdp;
    uint32_t reserved[2] = {0, 0};
    bool allowH264BFrame = false;
};

struct AUDIO_CONFIG {
    static constexpr int32_t kVolumeNotSet = 0x7FFFFFFF;
    std::string inputCodec = "g711_64";
    std::string inputSource = "mic";
    int32_t inputVolume = kVolumeNotSet;
    std::string outputCodec = "g711_64";
    int32_t outputVolume = kVolumeNotSet;
    uint32_t rtpMode = kRtpOverUdp;
    uint32_t reserved[2] = {0, 0};
};

// Empty for an empty driver name; "<name>.xml" for an empty directory;
// otherwise directory + '/' (unless present) + name + ".xml".
std::string ConfigFilePath(const std::string& driverName, const std::string& directory);
VIDEO_CONFIG ReadVideoConfig(const std::string& driverName, const std::string& directory, const DEVICE_INFO& device);
AUDIO_CONFIG ReadAudioConfig(const std::string& driverName, const std::string& directory, const DEVICE_INFO& device);

} // namespace talvex

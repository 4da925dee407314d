#include "common/ConfigFile.h"

#include "common/CXMLParser.h"
#include "common/Conversions.h"
#include "common/StringFormat.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace talvex {

namespace {

constexpr const char* kDefaultSection = "Configuration/Default";
constexpr const char* kDefaultVideoSection = "Configuration/Default/VideoChannel";
constexpr int32_t kMinVolume = -10;
constexpr int32_t kMaxVolume = 10;

bool EqualsNoCase(const std::string& text, const char* word) { return strcasecmp(text.c_str(), word) == 0; }

std::string DeviceSection(const DEVICE_INFO& device) {
    return FormatString("Configuration/Device[@address=\"%s\"][@port=\"%hu\"]", device.address.c_str(), device.port);
}

std::string DeviceVideoSection(const DEVICE_INFO& device) {
    return FormatString("Configuration/Device[@address=\"%s\"][@port=\"%hu\"]/VideoChannel", device.address.c_str(),
                        device.port);
}

// The device section wins key by key; an empty value counts as absent.
std::string ReadKey(CXMLParser& parser, const std::string& defaultPath, const std::string& devicePath, const char* key) {
    std::string value;
    if (!devicePath.empty())
        value = parser.GetValue(devicePath + "/" + key);
    if (value.empty() && !defaultPath.empty())
        value = parser.GetValue(defaultPath + "/" + key);
    return value;
}

// "Yes"/"True" and "No"/"False" in any case; anything else keeps the field.
void ApplyYesNo(const std::string& value, bool& field) {
    if (EqualsNoCase(value, "Yes") || EqualsNoCase(value, "True"))
        field = true;
    else if (EqualsNoCase(value, "No") || EqualsNoCase(value, "False"))
        field = false;
}

// Unknown or empty words mean RTP over UDP.
uint32_t ParseRtpMode(const std::string& value) {
    if (EqualsNoCase(value, "RTPoverTCP"))
        return kRtpOverTcp;
    if (EqualsNoCase(value, "RTPoverRTSP"))
        return kRtpOverRtsp;
    return kRtpOverUdp;
}

// A text that is not a plain signed decimal (or does not fit) reads as 0.
void ApplyVolume(const std::string& value, int32_t& field) {
    if (value.empty())
        return;
    field = std::clamp(ParseSignedDecimal(value).value_or(0), kMinVolume, kMaxVolume);
}

// "mic", "line" (any case) or an empty text replace the source; other words keep it.
void ApplyAudioSource(std::string value, std::string& field) {
    std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (value.empty() || value == "mic" || value == "line")
        field = value;
}

// A section without a codec key keeps the default codec: an empty name would
// reach the camera as "AudInCodec=" and an upload path "/audio-out/.cgi".
void ApplyCodec(const std::string& value, std::string& field) {
    if (!value.empty())
        field = value;
}

bool LoadConfigFile(CXMLParser& parser, const std::string& driverName, const std::string& directory) {
    const std::string path = ConfigFilePath(driverName, directory);
    return !path.empty() && parser.Load(path);
}

} // namespace

std::string ConfigFilePath(const std::string& driverName, const std::string& directory) {
    if (driverName.empty())
        return {};
    if (directory.empty())
        return driverName + ".xml";
    const char* separator = directory.back() == '/' ? "" : "/";
    return directory + separator + driverName + ".xml";
}

VIDEO_CONFIG ReadVideoConfig(const std::string& driverName, const std::string& directory, const DEVICE_INFO& device) {
    VIDEO_CONFIG config;
    CXMLParser parser;
    if (!LoadConfigFile(parser, driverName, directory))
        return config;
    const std::string videoSection = DeviceVideoSection(device);
    ApplyYesNo(ReadKey(parser, kDefaultVideoSection, videoSection, "DisableSecondStream"), config.disableSecondStream);
    ApplyYesNo(ReadKey(parser, kDefaultVideoSection, videoSection, "PrivacyMasking"), config.privacyMasking);
    const std::string bitrateMode = ReadKey(parser, kDefaultVideoSection, videoSection, "BitrateMode");
    if (EqualsNoCase(bitrateMode, "CBR"))
        config.constantBitRate = true;
    else if (EqualsNoCase(bitrateMode, "VBR"))
        config.constantBitRate = false;
    config.rtpMode = ParseRtpMode(ReadKey(parser, kDefaultSection, DeviceSection(device), "RTPMode"));
    ApplyYesNo(ReadKey(parser, kDefaultVideoSection, videoSection, "AllowH264BFrame"), config.allowH264BFrame);
    return config;
}

AUDIO_CONFIG ReadAudioConfig(const std::string& driverName, const std::string& directory, const DEVICE_INFO& device) {
    AUDIO_CONFIG config;
    CXMLParser parser;
    if (!LoadConfigFile(parser, driverName, directory))
        return config;
    const std::string section = DeviceSection(device);
    ApplyCodec(ReadKey(parser, kDefaultSection, section, "AudioInputChannel/Codec"), config.inputCodec);
    ApplyAudioSource(ReadKey(parser, kDefaultSection, section, "AudioInputChannel/AudioSource"), config.inputSource);
    ApplyVolume(ReadKey(parser, kDefaultSection, section, "AudioInputChannel/Volume"), config.inputVolume);
    ApplyCodec(ReadKey(parser, kDefaultSection, section, "AudioOutputChannel/Codec"), config.outputCodec);
    ApplyVolume(ReadKey(parser, kDefaultSection, section, "AudioOutputChannel/Volume"), config.outputVolume);
    config.rtpMode = ParseRtpMode(ReadKey(parser, kDefaultSection, section, "RTPMode"));
    return config;
}

} // namespace talvex

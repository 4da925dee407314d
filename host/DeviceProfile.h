// A device profile: what the host knows about one camera. Text form, one entry
// per line:
//   # comment                 (also blank lines)
//   <number>=<text>           a numbered device property, the text kept verbatim
//   address=<host name or IP> port=<1..65535>   user=<name>   password=<text>
//   model=<model name>        codec=<jpeg|mpeg4|h264|1|2|3>
//   video-channels=<n>        inputs=<n>         outputs=<n>
// The named keys are the same as the command-line options (--address ...).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace fennwick_host {

struct DeviceProfile {
    std::string address;
    uint16_t port = 80;
    std::string user;
    std::string password;
    std::string model;
    uint32_t codecType = 3;
    uint32_t videoChannels = 1;
    uint32_t inputs = 0;
    uint32_t outputs = 0;
    std::map<uint32_t, std::string> properties;
};

// Device property numbers the host itself fills in.
constexpr uint32_t kPropertyVideoStandard = 1;
constexpr uint32_t kPropertyGeneration = 2;
constexpr uint32_t kPropertyPtzCapabilities = 4;
constexpr uint32_t kPropertyPrivacyZones = 5;
constexpr uint32_t kPropertyMaximalResolution = 6;
constexpr uint32_t kPropertyEdgeStorage = 11;
constexpr uint32_t kPropertyAudioInput = 101;
constexpr uint32_t kPropertyAudioOutput = 102;
constexpr uint32_t kLowestGeneration = 1;
constexpr uint32_t kHighestGeneration = 7;

// codecType of a codec name (jpeg/mjpeg/1, mpeg4/2, h264/3); none for anything else.
std::optional<uint32_t> ParseCodecName(std::string_view text);

// Describes a camera of the given generation for which no capability query
// was stored: the generation property, and PAL when no video standard is set.
void SetGeneration(DeviceProfile& profile, uint32_t generation);

// Stores the PTZ capability text as property 4; properties below it that the
// profile lacks become "(none)", since the driver stops reading the numbered
// properties at the first gap.
void SetPtzCapabilities(DeviceProfile& profile, const std::string& capabilities);

// Property 11 = 1: the camera's edge storage is on (the gap below it filled as above).
void SetEdgeStorage(DeviceProfile& profile);
// Offers the driver one mono audio input and one mono output channel
// (properties 101 and 102) where the profile gives none.
void OfferAudioChannels(DeviceProfile& profile);

// Sets one named key; the error text when the key or value is not accepted.
std::optional<std::string> SetDeviceOption(DeviceProfile& profile, std::string_view key, std::string_view value);

// Reads profile lines into profile; the error text ("line N: ...") on the first bad line.
std::optional<std::string> ParseDeviceProfile(std::string_view text, DeviceProfile& profile);

// Reads a profile file; the error text when it cannot be read or parsed.
std::optional<std::string> LoadDeviceProfile(const std::string& path, DeviceProfile& profile);

} // namespace fennwick_host

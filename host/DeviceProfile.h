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

// Sets one named key; the error text when the key or value is not accepted.
std::optional<std::string> SetDeviceOption(DeviceProfile& profile, std::string_view key, std::string_view value);

// Reads profile lines into profile; the error text ("line N: ...") on the first bad line.
std::optional<std::string> ParseDeviceProfile(std::string_view text, DeviceProfile& profile);

// Reads a profile file; the error text when it cannot be read or parsed.
std::optional<std::string> LoadDeviceProfile(const std::string& path, DeviceProfile& profile);

} // namespace fennwick_host

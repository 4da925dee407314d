#include "DeviceProfile.h"

#include <charconv>
#include <fstream>

namespace fennwick_host {
namespace {

constexpr size_t kMaxProfileBytes = 1 << 20;

std::string_view Trim(std::string_view text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<uint32_t> ParseUnsigned(std::string_view text, uint32_t maximum) {
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > maximum)
        return std::nullopt;
    return value;
}

std::optional<std::string> SetCount(uint32_t& target, std::string_view key, std::string_view value,
                                    uint32_t maximum) {
    auto number = ParseUnsigned(value, maximum);
    if (!number)
        return std::string(key) + " wants a number from 0 to " + std::to_string(maximum) + ", not '" +
               std::string(value) + "'";
    target = *number;
    return std::nullopt;
}

} // namespace

std::optional<uint32_t> ParseCodecName(std::string_view text) {
    if (text == "jpeg" || text == "mjpeg" || text == "1")
        return 1;
    if (text == "mpeg4" || text == "2")
        return 2;
    if (text == "h264" || text == "3")
        return 3;
    return std::nullopt;
}

void SetGeneration(DeviceProfile& profile, uint32_t generation) {
    profile.properties[kPropertyGeneration] = std::to_string(generation);
    // The driver reads the numbered properties from 1 upwards and stops at the first gap.
    profile.properties.emplace(kPropertyVideoStandard, "0");
}

namespace {

// The driver stops reading the numbered properties at the first gap.
void SetNumberedProperty(DeviceProfile& profile, uint32_t id, const std::string& text) {
    profile.properties[id] = text;
    for (uint32_t below = 1; below < id; ++below)
        profile.properties.emplace(below, "(none)");
}

} // namespace

void SetPtzCapabilities(DeviceProfile& profile, const std::string& capabilities) {
    SetNumberedProperty(profile, kPropertyPtzCapabilities, capabilities);
}

void SetEdgeStorage(DeviceProfile& profile) {
    SetNumberedProperty(profile, kPropertyEdgeStorage, "1");
}

void OfferAudioChannels(DeviceProfile& profile) {
    static constexpr const char* kOneMonoChannel = "Count=1; IsStereo=0";
    profile.properties.emplace(kPropertyAudioInput, kOneMonoChannel);
    profile.properties.emplace(kPropertyAudioOutput, kOneMonoChannel);
}

std::optional<std::string> SetDeviceOption(DeviceProfile& profile, std::string_view key, std::string_view value) {
    if (key == "address") {
        if (value.empty())
            return std::string("address must not be empty");
        profile.address = value;
    } else if (key == "port") {
        auto port = ParseUnsigned(value, UINT16_MAX);
        if (!port || *port == 0)
            return "port wants a number from 1 to 65535, not '" + std::string(value) + "'";
        profile.port = uint16_t(*port);
    } else if (key == "user") {
        profile.user = value;
    } else if (key == "password") {
        profile.password = value;
    } else if (key == "model") {
        profile.model = value;
    } else if (key == "codec") {
        auto codec = ParseCodecName(value);
        if (!codec)
            return "codec wants jpeg, mpeg4 or h264, not '" + std::string(value) + "'";
        profile.codecType = *codec;
    } else if (key == "video-channels") {
        return SetCount(profile.videoChannels, key, value, 64);
    } else if (key == "inputs") {
        return SetCount(profile.inputs, key, value, 64);
    } else if (key == "outputs") {
        return SetCount(profile.outputs, key, value, 64);
    } else {
        return "unknown key '" + std::string(key) + "'";
    }
    return std::nullopt;
}

std::optional<std::string> ParseDeviceProfile(std::string_view text, DeviceProfile& profile) {
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string_view content = Trim(line);
        if (content.empty() || content.front() == '#')
            continue;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return "line " + std::to_string(lineNumber) + ": expected KEY=VALUE";
        std::string_view key = Trim(line.substr(0, equals));
        std::string_view value = line.substr(equals + 1);
        std::optional<std::string> error;
        if (!key.empty() && key.front() >= '0' && key.front() <= '9') {
            auto id = ParseUnsigned(key, UINT32_MAX);
            if (!id || *id == 0)
                error = "'" + std::string(key) + "' is not a property number";
            else
                profile.properties[*id] = value; // verbatim: spaces can be part of a property
        } else {
            error = SetDeviceOption(profile, key, Trim(value));
        }
        if (error)
            return "line " + std::to_string(lineNumber) + ": " + *error;
    }
    return std::nullopt;
}

std::optional<std::string> LoadDeviceProfile(const std::string& path, DeviceProfile& profile) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return "cannot read profile " + path;
    std::string text(kMaxProfileBytes + 1, '\0');
    file.read(text.data(), std::streamsize(text.size()));
    if (file.bad())
        return "cannot read profile " + path;
    text.resize(size_t(file.gcount()));
    if (text.size() > kMaxProfileBytes)
        return "profile " + path + " is larger than " + std::to_string(kMaxProfileBytes) + " bytes";
    if (auto error = ParseDeviceProfile(text, profile))
        return "profile " + path + ": " + *error;
    return std::nullopt;
}

} // namespace fennwick_host

#include "HostCoreVersion.h"

#include <cstdint>
#include <string_view>

namespace fennwick_host {
namespace {

// Empty until set: drivers then fall back to their own default.
std::string g_hostCoreVersion;

constexpr size_t kVersionParts = 4;
constexpr size_t kMaxPartDigits = 5;

bool IsVersionPart(std::string_view part) {
    if (part.empty() || part.size() > kMaxPartDigits)
        return false;
    uint32_t value = 0;
    for (char c : part) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint32_t(c - '0');
    }
    return value <= UINT16_MAX;
}

// "a.b.c.d", each part 0 to 65535.
bool IsVersionText(std::string_view text) {
    for (size_t index = 0; index < kVersionParts; ++index) {
        size_t dot = text.find('.');
        bool last = index + 1 == kVersionParts;
        if (last != (dot == std::string_view::npos) || !IsVersionPart(text.substr(0, dot)))
            return false;
        text = last ? std::string_view() : text.substr(dot + 1);
    }
    return true;
}

} // namespace

bool SetHostCoreVersion(const std::string& version) {
    if (!IsVersionText(version))
        return false;
    g_hostCoreVersion = version;
    return true;
}

} // namespace fennwick_host

const char* QuorvaneProductVersion(void) {
    return fennwick_host::g_hostCoreVersion.empty() ? nullptr : fennwick_host::g_hostCoreVersion.c_str();
}

#include "driver/HostVersion.h"

#include <dlfcn.h>
#include <link.h>

#include <string>

namespace talvex {
namespace {

constexpr std::string_view kHostCoreLibraryPrefix = "libquorvane.so.";
constexpr const char* kHostVersionFunction = "QuorvaneProductVersion";
constexpr size_t kMaxVersionPartDigits = 5;

std::optional<uint16_t> ParseVersionPart(std::string_view part) {
    if (part.empty() || part.size() > kMaxVersionPartDigits)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : part) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + uint32_t(c - '0');
    }
    if (value > UINT16_MAX)
        return std::nullopt;
    return uint16_t(value);
}

std::optional<HostVersion> VersionFromExportedFunction() {
    using VersionFunction = const char* (*)();
    auto function = reinterpret_cast<VersionFunction>(dlsym(RTLD_DEFAULT, kHostVersionFunction));
    if (!function)
        return std::nullopt;
    const char* text = function();
    if (!text)
        return std::nullopt;
    return ParseHostVersion(text);
}

int CheckLoadedModule(dl_phdr_info* info, size_t, void* data) {
    std::string_view path = info->dlpi_name ? info->dlpi_name : "";
    size_t slash = path.rfind('/');
    std::string_view fileName = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto version = ParseHostCoreFileName(fileName);
    if (!version)
        return 0;
    *static_cast<std::optional<HostVersion>*>(data) = version;
    return 1; // stop at the first match
}

std::optional<HostVersion> VersionFromLoadedModule() {
    std::optional<HostVersion> version;
    dl_iterate_phdr(CheckLoadedModule, &version);
    return version;
}

} // namespace

std::optional<HostVersion> ParseHostVersion(std::string_view text) {
    uint16_t parts[4];
    for (size_t index = 0; index < 4; ++index) {
        size_t dot = text.find('.');
        bool last = index == 3;
        if (last != (dot == std::string_view::npos))
            return std::nullopt;
        auto part = ParseVersionPart(text.substr(0, dot));
        if (!part)
            return std::nullopt;
        parts[index] = *part;
        text = last ? std::string_view() : text.substr(dot + 1);
    }
    return HostVersion{parts[0], parts[1], parts[2], parts[3]};
}

std::optional<HostVersion> ParseHostCoreFileName(std::string_view fileName) {
    if (!fileName.starts_with(kHostCoreLibraryPrefix))
        return std::nullopt;
    return ParseHostVersion(fileName.substr(kHostCoreLibraryPrefix.size()));
}

HostVersion ReadHostVersion() {
    if (auto version = VersionFromExportedFunction())
        return *version;
    if (auto version = VersionFromLoadedModule())
        return *version;
    return HostVersion{};
}

} // namespace talvex

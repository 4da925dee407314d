#include "common/StringFormat.h"

#include <algorithm>
#include <cstdio>

namespace talvex {

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatStringV(format, args);
    va_end(args);
    return text;
}

std::string FormatStringV(const char* format, va_list args) {
    if (!format)
        return {};
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0)
        return {};
    std::string text(size_t(length), '\0');
    va_list write;
    va_copy(write, args);
    std::vsnprintf(text.data(), text.size() + 1, format, write);
    va_end(write);
    return text;
}

std::string UrlWithoutCredentials(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t authority = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t authorityEnd = std::min(url.find('/', authority), url.size());
    const size_t at = url.rfind('@', authorityEnd);
    if (at == std::string::npos || at < authority)
        return url;
    return url.substr(0, authority) + url.substr(at + 1);
}

} // namespace talvex

// printf-style formatting into std::string, sized exactly.
#pragma once

#include <cstdarg>
#include <string>

namespace talvex {

std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatStringV(const char* format, va_list args);
// The URL without a "user:password@" part: what may go into a log line.
std::string UrlWithoutCredentials(const std::string& url);

} // namespace talvex

// Reader for the camera's inquiry answers: "Key=Value" items separated by '&',
// carriage returns or line feeds ("/command/inquiry.cgi?inq=<group>").
// Pure code over text so that it can be fuzzed on its own.
#pragma once

#include <string>
#include <string_view>

namespace talvex {

inline constexpr std::string_view kInquiryValueSeparator = "=";
inline constexpr std::string_view kInquiryItemSeparators = "&\r\n";

// The value of the first item whose name (spaces and tabs around it ignored)
// equals key exactly; empty when there is none or when any argument is empty.
// The value runs from the value separator to the next item separator or the end.
std::string GetInquiryValue(std::string_view text, std::string_view key,
                            std::string_view valueSeparator = kInquiryValueSeparator,
                            std::string_view separators = kInquiryItemSeparators);

} // namespace talvex

// Fuzzes the inquiry answer reader: the input is split into key and text at
// the first NUL byte (no NUL: a fixed key over the whole input), then read
// with the default separators and with '&' alone.
#include "http/InquiryValue.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string_view key = nul == std::string_view::npos ? std::string_view("ModelName") : input.substr(0, nul);
    const std::string_view text = nul == std::string_view::npos ? input : input.substr(nul + 1);

    const std::string value = talvex::GetInquiryValue(text, key);
    if (value.size() > text.size())
        __builtin_trap();
    talvex::GetInquiryValue(text, key, "=", "&");
    talvex::GetInquiryValue(text, key, ": ", ";");
    return 0;
}

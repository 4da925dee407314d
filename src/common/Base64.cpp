#include "common/Base64.h"

namespace talvex {

std::string Base64Encode(std::span<const uint8_t> data) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const uint32_t group = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        text.push_back(kAlphabet[group >> 18]);
        text.push_back(kAlphabet[(group >> 12) & 0x3F]);
        text.push_back(kAlphabet[(group >> 6) & 0x3F]);
        text.push_back(kAlphabet[group & 0x3F]);
    }
    const size_t rest = data.size() - i;
    if (rest == 0)
        return text;
    // RFC 4648 section 4: a final group of one or two bytes is padded with '='.
    const uint32_t group = uint32_t(data[i]) << 16 | (rest == 2 ? uint32_t(data[i + 1]) << 8 : 0);
    text.push_back(kAlphabet[group >> 18]);
    text.push_back(kAlphabet[(group >> 12) & 0x3F]);
    text.push_back(rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    text.push_back('=');
    return text;
}

std::string Base64Encode(std::string_view text) {
    return Base64Encode(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

} // namespace talvex

// RFC 1321 MD5, for Digest authorisation.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

std::array<uint8_t, 16> Md5(std::string_view data);
// Lower-case hexadecimal digest, as RFC 2617 uses it.
std::string Md5Hex(std::string_view data);

} // namespace talvex

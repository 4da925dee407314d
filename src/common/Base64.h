// RFC 4648 Base64 encoding, for Basic authorisation.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace talvex {

std::string Base64Encode(std::span<const uint8_t> data);
std::string Base64Encode(std::string_view text);

} // namespace talvex

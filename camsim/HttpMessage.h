// Parsing of HTTP/1.x request heads and of the parts of a request target:
// pure code over bytes, no sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace camsim {

inline constexpr size_t kMaxRequestHeadBytes = 16 * 1024;

struct HttpRequestHead {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;    // before '?'
    std::string query;   // after '?', not decoded
    std::string version; // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;

    // Value of the first header with this name (case-insensitive); empty when absent.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    // Content-Length, 0 when absent; nullopt when it is not a number.
    std::optional<uint64_t> ContentLength() const;
    bool KeepAlive() const;
};

struct ParsedHead {
    enum class Status { NeedMore, Invalid, Complete } status = Status::NeedMore;
    HttpRequestHead head;
    size_t consumed = 0; // bytes of the head, blank line included
};

// Reads one request head from the start of buffer. Invalid also when the head
// grows beyond kMaxRequestHeadBytes without ending.
ParsedHead ParseRequestHead(std::string_view buffer);

// "%41" and '+' decoded; malformed escapes are kept as they are.
std::string PercentDecode(std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// 0 to 15 for a hexadecimal digit, -1 for any other character.
int HexValue(char c);

} // namespace camsim

#include "HttpMessage.h"

#include <algorithm>
#include <cctype>

namespace camsim {

namespace {

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ParseRequestLine(std::string_view line, HttpRequestHead& head) {
    const size_t firstSpace = line.find(' ');
    const size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace)
        return false;
    head.method = std::string(line.substr(0, firstSpace));
    head.target = std::string(line.substr(firstSpace + 1, lastSpace - firstSpace - 1));
    head.version = std::string(line.substr(lastSpace + 1));
    if (head.method.empty() || head.target.empty() || !head.version.starts_with("HTTP/1."))
        return false;
    const size_t question = head.target.find('?');
    head.path = head.target.substr(0, question);
    head.query = question == std::string::npos ? std::string() : head.target.substr(question + 1);
    return true;
}

} // namespace

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string HttpRequestHead::Header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (EqualsIgnoreCase(key, name))
            return value;
    return {};
}

bool HttpRequestHead::HasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return EqualsIgnoreCase(h.first, name); });
}

std::optional<uint64_t> HttpRequestHead::ContentLength() const {
    if (!HasHeader("Content-Length"))
        return 0;
    const std::string text = Header("Content-Length");
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(text);
}

bool HttpRequestHead::KeepAlive() const {
    const std::string connection = Header("Connection");
    if (version == "HTTP/1.0")
        return EqualsIgnoreCase(connection, "keep-alive");
    return !EqualsIgnoreCase(connection, "close");
}

ParsedHead ParseRequestHead(std::string_view buffer) {
    ParsedHead result;
    const size_t end = buffer.find("\r\n\r\n");
    if (end == std::string_view::npos) {
        if (buffer.size() > kMaxRequestHeadBytes)
            result.status = ParsedHead::Status::Invalid;
        return result;
    }
    if (end + 4 > kMaxRequestHeadBytes) {
        result.status = ParsedHead::Status::Invalid;
        return result;
    }
    result.consumed = end + 4;
    std::string_view block = buffer.substr(0, end);
    const size_t lineEnd = std::min(block.find("\r\n"), block.size());
    if (!ParseRequestLine(block.substr(0, lineEnd), result.head)) {
        result.status = ParsedHead::Status::Invalid;
        return result;
    }
    block.remove_prefix(std::min(lineEnd + 2, block.size()));
    while (!block.empty()) {
        const size_t next = std::min(block.find("\r\n"), block.size());
        const std::string_view line = block.substr(0, next);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || Trim(line.substr(0, colon)).empty()) {
            result.status = ParsedHead::Status::Invalid;
            return result;
        }
        result.head.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                         std::string(Trim(line.substr(colon + 1))));
        block.remove_prefix(std::min(next + 2, block.size()));
    }
    result.status = ParsedHead::Status::Complete;
    return result;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            decoded.push_back(char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            decoded.push_back(text[i]);
        }
    }
    return decoded;
}

} // namespace camsim

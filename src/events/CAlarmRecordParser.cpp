#include "events/CAlarmRecordParser.h"

#include "events/InquiryItem.h"

#include <strings.h>

#include <charconv>

namespace talvex {

std::vector<bool> CAlarmRecordParser::Feed(std::span<const uint8_t> piece) {
    std::vector<bool> states;
    m_buffer.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    for (;;) {
        // The buffer now starts with a marker, or holds at most a lone '-'.
        DiscardBeforeMarker();
        const size_t end = RecordEnd();
        if (end == std::string::npos)
            break;
        if (std::optional<bool> state = ParseRecord(std::string_view(m_buffer).substr(0, end)))
            states.push_back(*state);
        m_buffer.erase(0, end);
    }
    if (m_buffer.size() > kMaxRecordBytes)
        m_buffer.clear();
    return states;
}

size_t CAlarmRecordParser::RecordEnd() const {
    const size_t next = m_buffer.find(kRecordMarker, kRecordMarker.size());
    const size_t declared = DeclaredBodyEnd(next);
    return declared != std::string::npos ? declared : next;
}

size_t CAlarmRecordParser::DeclaredBodyEnd(size_t nextMarker) const {
    static constexpr std::string_view kHeadEnd = "\r\n\r\n";
    static constexpr std::string_view kLengthKey = "\r\nContent-Length:";
    const std::string_view buffer = m_buffer;
    const size_t headEnd = buffer.find(kHeadEnd);
    if (headEnd == std::string_view::npos || headEnd > nextMarker)
        return std::string_view::npos;
    const std::string_view head = buffer.substr(0, headEnd + 2);
    size_t key = 0;
    while ((key = head.find("\r\n", key)) != std::string_view::npos) {
        if (head.size() - key >= kLengthKey.size() &&
            strncasecmp(head.data() + key, kLengthKey.data(), kLengthKey.size()) == 0)
            break;
        key += 2;
    }
    if (key == std::string_view::npos)
        return std::string_view::npos;
    std::string_view value = head.substr(key + kLengthKey.size());
    value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
    size_t length = 0;
    const auto [rest, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (error != std::errc() || rest == value.data() || length > kMaxRecordBytes)
        return std::string_view::npos;
    const size_t bodyEnd = headEnd + kHeadEnd.size() + length;
    return bodyEnd <= buffer.size() && bodyEnd <= nextMarker ? bodyEnd : std::string_view::npos;
}

void CAlarmRecordParser::DiscardBeforeMarker() {
    const size_t first = m_buffer.find(kRecordMarker);
    if (first != std::string::npos) {
        m_buffer.erase(0, first);
        return;
    }
    const bool halfMarker = !m_buffer.empty() && m_buffer.back() == kRecordMarker.front();
    m_buffer.assign(halfMarker ? 1 : 0, kRecordMarker.front());
}

std::optional<bool> CAlarmRecordParser::ParseRecord(std::string_view record) {
    bool namesWindow = false;
    for (std::string_view window : kWindows) {
        const std::optional<std::string> value = FindInquiryItem(record, window);
        if (value && *value == "1")
            return true;
        namesWindow = namesWindow || value.has_value();
    }
    return namesWindow ? std::optional<bool>(false) : std::nullopt;
}

} // namespace talvex

#include "events/CAlarmRecordParser.h"

#include "events/InquiryItem.h"

namespace talvex {

std::vector<bool> CAlarmRecordParser::Feed(std::span<const uint8_t> piece) {
    std::vector<bool> states;
    m_buffer.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    DiscardBeforeMarker();
    for (;;) {
        // The buffer now starts with a marker, or holds at most a lone '-'.
        const size_t next = m_buffer.find(kRecordMarker, kRecordMarker.size());
        if (next == std::string::npos)
            break;
        if (std::optional<bool> state = ParseRecord(std::string_view(m_buffer).substr(0, next)))
            states.push_back(*state);
        m_buffer.erase(0, next);
    }
    if (m_buffer.size() > kMaxRecordBytes)
        m_buffer.clear();
    return states;
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

#include "edgestorage/CSonySearchResultParser.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace talvex {
namespace {

constexpr uint64_t kUnitsPerMs = 10000;
constexpr uint64_t kMsPerDay = 86400000;
constexpr int kLastYear = 9999;
// Day 0 of the file time.
constexpr std::chrono::sys_days kFirstDay = std::chrono::year(1601) / 1 / 1;
constexpr char kItemSeparator = ',';
constexpr char kValueSeparator = '=';

// Digits only, exactly as many as the text holds; nullopt otherwise.
std::optional<uint32_t> Digits(std::string_view text) {
    uint32_t value = 0;
    if (text.empty())
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::string_view> FindValue(std::string_view line, std::string_view key) {
    while (!line.empty()) {
        const size_t itemEnd = line.find(kItemSeparator);
        const std::string_view item = line.substr(0, itemEnd);
        const size_t separator = item.find(kValueSeparator);
        if (separator != std::string_view::npos && item.substr(0, separator) == key)
            return item.substr(separator + 1);
        if (itemEnd == std::string_view::npos)
            break;
        line.remove_prefix(itemEnd + 1);
    }
    return std::nullopt;
}

} // namespace

void CSonySearchResultParser::Feed(std::span<const uint8_t> piece) {
    for (const uint8_t byte : piece) {
        if (byte == '\n') {
            if (!m_skippingLine)
                ParseLine(m_line);
            m_line.clear();
            m_skippingLine = false;
            continue;
        }
        if (m_skippingLine)
            continue;
        if (m_line.size() == kMaxLineBytes) {
            m_line.clear();
            m_skippingLine = true;
            continue;
        }
        m_line.push_back(char(byte));
    }
}

void CSonySearchResultParser::Finish() {
    if (!m_skippingLine)
        ParseLine(m_line);
    m_line.clear();
    m_skippingLine = false;
}

void CSonySearchResultParser::ParseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const auto name = FindValue(line, kStreamNameKey);
    const auto start = FindValue(line, kStartKey);
    const auto end = FindValue(line, kEndKey);
    if (name && start && end) {
        SonyRecording recording{std::string(*name), ParseTime(*start), ParseTime(*end)};
        if (!recording.streamName.empty() && recording.start != 0 && recording.end != 0 &&
            m_entries.size() < kMaxEntries)
            m_entries.push_back(std::move(recording));
        return;
    }
    if (const auto remain = FindValue(line, kRemainKey))
        if (const auto count = Digits(*remain))
            m_remain = *count;
}

std::string CSonySearchResultParser::FormatTime(uint64_t time) {
    using namespace std::chrono;
    if (time == 0)
        return {};
    const uint64_t totalMs = time / kUnitsPerMs;
    const uint64_t dayCount = totalMs / kMsPerDay;
    const year_month_day date(kFirstDay + days(int64_t(dayCount)));
    if (int(date.year()) > kLastYear)
        return {};
    const uint64_t msOfDay = totalMs % kMsPerDay;
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02uT%02u%02u%02u.%03uZ", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()), unsigned(msOfDay / 3600000), unsigned(msOfDay / 60000 % 60),
                  unsigned(msOfDay / 1000 % 60), unsigned(msOfDay % 1000));
    return text;
}

uint64_t CSonySearchResultParser::ParseTime(std::string_view text) {
    using namespace std::chrono;
    // YYYYMMDDThhmmss, then ".mmm" or nothing, then "Z".
    constexpr size_t kDateTimeLength = 15;
    if (text.size() < kDateTimeLength + 1 || text[8] != 'T' || text.back() != 'Z')
        return 0;
    const auto yearValue = Digits(text.substr(0, 4));
    const auto monthValue = Digits(text.substr(4, 2));
    const auto dayValue = Digits(text.substr(6, 2));
    const auto hour = Digits(text.substr(9, 2));
    const auto minute = Digits(text.substr(11, 2));
    const auto second = Digits(text.substr(13, 2));
    const std::string_view fraction = text.substr(kDateTimeLength, text.size() - kDateTimeLength - 1);
    std::optional<uint32_t> millisecond = 0;
    if (!fraction.empty())
        millisecond = fraction.size() == 4 && fraction[0] == '.' ? Digits(fraction.substr(1)) : std::nullopt;
    if (!yearValue || !monthValue || !dayValue || !hour || !minute || !second || !millisecond)
        return 0;
    const year_month_day date{year(int(*yearValue)), month(*monthValue), day(*dayValue)};
    if (!date.ok() || sys_days(date) < kFirstDay || *hour > 23 || *minute > 59 || *second > 59)
        return 0;
    const uint64_t dayCount = uint64_t((sys_days(date) - kFirstDay).count());
    const uint64_t totalMs = dayCount * kMsPerDay + ((*hour * 60ull + *minute) * 60 + *second) * 1000 + *millisecond;
    return totalMs * kUnitsPerMs;
}

} // namespace talvex

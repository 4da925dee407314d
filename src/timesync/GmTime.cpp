#include "timesync/GmTime.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace talvex {

namespace {

constexpr int kFirstYear = 2000;
constexpr int kAdvanceBelowSecond = 57;
constexpr int kAdvanceSeconds = 2;

int TwoDigits(std::string_view text, size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

bool IsValidDate(const std::tm& date) {
    return date.tm_mon >= 0 && date.tm_mon <= 11 && date.tm_mday >= 1 && date.tm_mday <= 31 &&
           date.tm_hour <= 23 && date.tm_min <= 59 && date.tm_sec <= 59;
}

} // namespace

CTime ReadGmTime(std::string_view value) {
    if (value.size() < kGmTimeDigits ||
        !std::all_of(value.begin(), value.begin() + kGmTimeDigits, [](char c) { return c >= '0' && c <= '9'; }))
        return CTime();
    std::tm date{};
    date.tm_year = kFirstYear + TwoDigits(value, 0) - 1900;
    date.tm_mon = TwoDigits(value, 2) - 1;
    date.tm_mday = TwoDigits(value, 4);
    date.tm_hour = TwoDigits(value, 6);
    date.tm_min = TwoDigits(value, 8);
    date.tm_sec = TwoDigits(value, 10);
    if (!IsValidDate(date))
        return CTime();
    const std::time_t seconds = timegm(&date);
    // A day past the month's end (310231) rolls over in timegm: not a date.
    if (seconds < 0 || date.tm_mday != TwoDigits(value, 4))
        return CTime();
    return CTime::FromSystemClock(std::chrono::system_clock::from_time_t(seconds));
}

std::string WriteGmTime(CTime now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now.ToSystemClock());
    std::tm date{};
    gmtime_r(&seconds, &date);
    if (date.tm_sec < kAdvanceBelowSecond)
        date.tm_sec += kAdvanceSeconds;
    char text[96]; // room for any int the compiler cannot bound
    std::snprintf(text, sizeof(text), "%02d%02d%02d%02d%02d%02d%1d", date.tm_year % 100, date.tm_mon + 1,
                  date.tm_mday, date.tm_hour, date.tm_min, date.tm_sec, 0);
    return text;
}

} // namespace talvex

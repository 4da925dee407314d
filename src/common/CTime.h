// Time as 100-nanosecond units since 1601-01-01 UTC (file time); 0 is no time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace talvex {

class CTime {
public:
    // 100-ns units between 1601-01-01 and 1970-01-01.
    static constexpr uint64_t kUnixEpochOffset = 116444736000000000ULL;

    constexpr CTime() = default;
    constexpr explicit CTime(uint64_t value) : m_value(value) {}

    static CTime Now();
    static CTime FromSystemClock(std::chrono::system_clock::time_point tp);
    std::chrono::system_clock::time_point ToSystemClock() const;

    constexpr uint64_t Value() const { return m_value; }
    constexpr bool IsEmpty() const { return m_value == 0; }
    // Local time "YYYY/MM/DD hh:mm:ss.mmm"; empty for 0 or an unconvertible value.
    std::string ToString() const;
    // (later - earlier) / 10000, and 0 when later is not later.
    static uint64_t ElapsedMs(CTime earlier, CTime later);

    friend constexpr bool operator==(CTime a, CTime b) { return a.m_value == b.m_value; }
    friend constexpr auto operator<=>(CTime a, CTime b) { return a.m_value <=> b.m_value; }

private:
    uint64_t m_value = 0;
};

} // namespace talvex

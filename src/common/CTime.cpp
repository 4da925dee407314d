#include "common/CTime.h"

#include "common/StringFormat.h"

#include <algorithm>
#include <ctime>

namespace talvex {

namespace {

using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kTicksPerMs = 10000;
// File times from this value on have no calendar form (the platform refuses them too).
constexpr uint64_t kFirstUnconvertible = 0x8000000000000000ULL;

// Whole seconds relative to 1970, rounded towards the past.
std::time_t UnixSeconds(uint64_t value) {
    if (value >= CTime::kUnixEpochOffset)
        return std::time_t((value - CTime::kUnixEpochOffset) / kTicksPerSecond);
    const uint64_t before = CTime::kUnixEpochOffset - value;
    return -std::time_t((before + kTicksPerSecond - 1) / kTicksPerSecond);
}

} // namespace

CTime CTime::Now() { return FromSystemClock(std::chrono::system_clock::now()); }

CTime CTime::FromSystemClock(std::chrono::system_clock::time_point tp) {
    const int64_t sinceUnix = std::chrono::duration_cast<Ticks>(tp.time_since_epoch()).count();
    if (sinceUnix < -int64_t(kUnixEpochOffset))
        return CTime();
    return CTime(uint64_t(sinceUnix + int64_t(kUnixEpochOffset)));
}

std::chrono::system_clock::time_point CTime::ToSystemClock() const {
    using SystemDuration = std::chrono::system_clock::duration;
    // The system clock spans less than a file time (nanoseconds cover 1677 to 2262).
    const int64_t latest = std::chrono::duration_cast<Ticks>(SystemDuration::max()).count();
    const int64_t earliest = std::chrono::duration_cast<Ticks>(SystemDuration::min()).count();
    const int64_t sinceUnix = m_value >= kUnixEpochOffset
                                  ? int64_t(std::min<uint64_t>(m_value - kUnixEpochOffset, uint64_t(latest)))
                                  : std::max(-int64_t(kUnixEpochOffset - m_value), earliest);
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<SystemDuration>(Ticks(sinceUnix)));
}

std::string CTime::ToString() const {
    if (m_value == 0 || m_value >= kFirstUnconvertible)
        return {};
    const std::time_t seconds = UnixSeconds(m_value);
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return {};
    const auto milliseconds = static_cast<unsigned short>((m_value / kTicksPerMs) % 1000);
    return FormatString("%.4hu/%.2hu/%.2hu %.2hu:%.2hu:%.2hu.%.3hu", static_cast<unsigned short>(local.tm_year + 1900),
                        static_cast<unsigned short>(local.tm_mon + 1), static_cast<unsigned short>(local.tm_mday),
                        static_cast<unsigned short>(local.tm_hour), static_cast<unsigned short>(local.tm_min),
                        static_cast<unsigned short>(local.tm_sec), milliseconds);
}

uint64_t CTime::ElapsedMs(CTime earlier, CTime later) {
    if (later.m_value <= earlier.m_value)
        return 0;
    return (later.m_value - earlier.m_value) / kTicksPerMs;
}

} // namespace talvex

#include "StreamStatistics.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace fennwick_host {
namespace {

constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;
constexpr uint64_t kFileTimeUnitsPerMillisecond = 10000;
// 1601-01-01 to 1970-01-01 in file time units.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

} // namespace

std::string FormatFileTime(uint64_t fileTime) {
    if (fileTime == 0)
        return "-";
    if (fileTime < kUnixEpochAsFileTime)
        return "before 1970 (" + std::to_string(fileTime) + ")";
    uint64_t sinceEpoch = fileTime - kUnixEpochAsFileTime;
    time_t seconds = time_t(sinceEpoch / kFileTimeUnitsPerSecond);
    unsigned millis = unsigned(sinceEpoch % kFileTimeUnitsPerSecond / kFileTimeUnitsPerMillisecond);
    tm utc{};
    if (!gmtime_r(&seconds, &utc))
        return std::to_string(fileTime);
    char text[64];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03u UTC", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

void StreamStatistics::AddFrame(uint64_t fileTime, uint32_t bytes, bool isKey) {
    if (m_frames == 0) {
        m_firstTime = fileTime;
        m_lastTime = fileTime;
    } else {
        m_firstTime = std::min(m_firstTime, fileTime);
        m_lastTime = std::max(m_lastTime, fileTime);
    }
    ++m_frames;
    m_bytes += bytes;
    if (isKey)
        ++m_keyFrames;
}

double StreamStatistics::CoveredSeconds() const {
    if (m_frames < 2 || m_lastTime == m_firstTime)
        return 0;
    double span = double(m_lastTime - m_firstTime) / double(kFileTimeUnitsPerSecond);
    return span * double(m_frames) / double(m_frames - 1);
}

double StreamStatistics::FramesPerSecond() const {
    double seconds = CoveredSeconds();
    return seconds > 0 ? double(m_frames) / seconds : 0;
}

double StreamStatistics::BitsPerSecond() const {
    double seconds = CoveredSeconds();
    return seconds > 0 ? double(m_bytes) * 8 / seconds : 0;
}

} // namespace fennwick_host

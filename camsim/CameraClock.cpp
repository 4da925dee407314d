#include "CameraClock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace camsim {

int64_t CameraClock::RealNowUnixMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t CameraClock::NowUnixMs() const {
    return RealNowUnixMs() + OffsetMs();
}

void CameraClock::SetCameraTimeUnixMs(int64_t cameraTimeMs) {
    SetOffsetMs(cameraTimeMs - RealNowUnixMs());
}

std::string CameraClock::GmTime() const {
    const std::time_t seconds = std::time_t(NowUnixMs() / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[16];
    std::strftime(text, sizeof(text), "%y%m%d%H%M%S", &utc);
    return text + std::to_string(utc.tm_wday);
}

std::optional<int64_t> CameraClock::ParseGmTime(std::string_view value) {
    if (value.size() < 12 || value.size() > 13 || value.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const std::string digits(value.substr(0, 12));
    std::tm utc{};
    if (std::sscanf(digits.c_str(), "%2d%2d%2d%2d%2d%2d", &utc.tm_year, &utc.tm_mon, &utc.tm_mday, &utc.tm_hour,
                    &utc.tm_min, &utc.tm_sec) != 6)
        return std::nullopt;
    const int day = utc.tm_mday;
    utc.tm_year += 100; // from 1900
    utc.tm_mon -= 1;
    if (utc.tm_mon < 0 || utc.tm_mon > 11 || day < 1 || utc.tm_hour > 23 || utc.tm_min > 59 || utc.tm_sec > 59)
        return std::nullopt;
    const std::time_t seconds = timegm(&utc);
    if (utc.tm_mday != day)
        return std::nullopt;
    return int64_t(seconds) * 1000;
}

} // namespace camsim

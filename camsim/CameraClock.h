// The camera's own clock: real UTC plus an offset that the camera's clock
// setting (GmTime) and the test hooks move. Thread-safe; every server of one
// camera reads it (inquiries, recordings' capture times).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace camsim {

class CameraClock {
public:
    explicit CameraClock(int64_t offsetMs = 0) : m_offsetMs(offsetMs) {}
    CameraClock(const CameraClock&) = delete;
    CameraClock& operator=(const CameraClock&) = delete;

    // The camera's time in milliseconds since 1970-01-01 UTC.
    int64_t NowUnixMs() const;
    // Camera time minus real UTC.
    int64_t OffsetMs() const { return m_offsetMs.load(); }
    void SetOffsetMs(int64_t offsetMs) { m_offsetMs.store(offsetMs); }
    // The camera's clock is set to this time now.
    void SetCameraTimeUnixMs(int64_t cameraTimeMs);

    // "GmTime" of inq=system: "YYMMDDhhmmssW" on the camera's clock (UTC,
    // years from 2000, W the day of the week with Sunday 0).
    std::string GmTime() const;
    // The time a "GmTime" value names; nullopt when it is not one (twelve
    // digits of a date and time from 2000, a further digit allowed).
    static std::optional<int64_t> ParseGmTime(std::string_view value);

    static int64_t RealNowUnixMs();

private:
    std::atomic<int64_t> m_offsetMs;
};

} // namespace camsim

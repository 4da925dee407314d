#include "common/Conversions.h"

#include <cmath>
#include <limits>

namespace talvex {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// trunc(1000 / divisor + 0.5), held inside the unsigned range (a tiny rate
// would otherwise overflow the conversion).
uint32_t RoundedReciprocalOf1000(double divisor) {
    const double value = std::trunc(1000.0 / divisor + 0.5);
    if (value >= double(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return uint32_t(value);
}

} // namespace

uint32_t StringToUnsigned(std::string_view text) {
    uint64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return 0;
        value = value * 10 + uint64_t(c - '0');
        // A number beyond 32 bits is as unusable as a non-digit.
        if (value > std::numeric_limits<uint32_t>::max())
            return 0;
    }
    return uint32_t(value);
}

std::optional<int32_t> ParseSignedDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // The magnitude may reach 2^31 so that INT32_MIN is accepted.
    constexpr int64_t kMinimum = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMaximum = std::numeric_limits<int32_t>::max();
    int64_t magnitude = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > -kMinimum)
            return std::nullopt;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > kMaximum)
        return std::nullopt;
    return int32_t(value);
}

uint32_t FrameRateToIntervalMs(double framesPerSecond) {
    const float rate = float(framesPerSecond);
    // No rate (or a meaningless one) means one frame a second.
    if (!(rate > 0.0f))
        return 1000;
    return RoundedReciprocalOf1000(double(rate));
}

uint32_t IntervalMsToFrameRate(uint32_t intervalMs) {
    if (intervalMs == 0)
        return 1;
    return RoundedReciprocalOf1000(double(intervalMs));
}

} // namespace talvex

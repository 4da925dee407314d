// Number rules shared by the driver: string to number, frame rate to interval.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace talvex {

// Unsigned decimal digits only; any other character (or an empty text) gives 0.
uint32_t StringToUnsigned(std::string_view text);
// Optional leading '+' or '-', then digits only; nullopt otherwise or on overflow.
std::optional<int32_t> ParseSignedDecimal(std::string_view text);

// Frames per second to frame interval in ms: 0 gives 1000, otherwise
// trunc(1000 / rate + 0.5) with the rate first rounded to single precision.
uint32_t FrameRateToIntervalMs(double framesPerSecond);
// Frame interval in ms to frames per second: 0 gives 1, otherwise trunc(1000 / interval + 0.5).
uint32_t IntervalMsToFrameRate(uint32_t intervalMs);

} // namespace talvex

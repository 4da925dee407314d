// Frame rates above 30 frames per second lose precision as whole-millisecond
// intervals (60 fps -> 17 ms -> 59 fps), so they travel as a marked value in
// the same 32-bit field: the tag 7 in bits 12 to 15 and the rate in bits 0 to
// 11, all higher bits zero. The value fits the host's 16-bit start words.
//
//    15    12 11                    0
//   +--------+-----------------------+
//   |  0111  |  frames per second    |
//   +--------+-----------------------+
//
// Intervals of 28.672 s to 32.767 s read as marked values; no camera streams
// that slowly.
#pragma once

#include <cstdint>

namespace talvex {

inline constexpr uint32_t kMarkedFrameRateTag = 0x7000;
inline constexpr uint32_t kMarkedFrameRateTagMask = 0xFFFFF000;
inline constexpr uint32_t kMarkedFrameRateMask = 0x0FFF;
// Rates above this are carried marked when the caller asks for it.
inline constexpr uint32_t kMaxUnmarkedFrameRate = 30;

bool IsMarkedFrameRate(uint32_t frameInterval);
// Frames per second to a frame interval; with markHighRates, rates above 30
// (up to 4095) become a marked value instead.
uint32_t EncodeFrameInterval(uint32_t framesPerSecond, bool markHighRates);
// A frame interval or a marked value to frames per second.
uint32_t DecodeFrameInterval(uint32_t frameInterval);

} // namespace talvex

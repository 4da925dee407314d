#include "settings/MarkedFrameRate.h"

#include "common/Conversions.h"

namespace talvex {

bool IsMarkedFrameRate(uint32_t frameInterval) {
    return (frameInterval & kMarkedFrameRateTagMask) == kMarkedFrameRateTag;
}

uint32_t EncodeFrameInterval(uint32_t framesPerSecond, bool markHighRates) {
    if (markHighRates && framesPerSecond > kMaxUnmarkedFrameRate && framesPerSecond <= kMarkedFrameRateMask)
        return kMarkedFrameRateTag | framesPerSecond;
    return FrameRateToIntervalMs(double(framesPerSecond));
}

uint32_t DecodeFrameInterval(uint32_t frameInterval) {
    if (IsMarkedFrameRate(frameInterval))
        return frameInterval & kMarkedFrameRateMask;
    return IntervalMsToFrameRate(frameInterval);
}

} // namespace talvex

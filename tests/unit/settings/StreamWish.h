// A channel's wish for one stream, as the settings tests write them.
#pragma once

#include "settings/IVideoSettingsManager.h"
#include "settings/MarkedFrameRate.h"

#include <cstdint>

namespace talvex::test {

inline VIDEO_STREAM_SETTINGS StreamWish(int32_t stream, uint16_t width, uint16_t height, uint32_t framesPerSecond,
                                        uint32_t quality) {
    VIDEO_STREAM_SETTINGS wish;
    wish.frameInterval = framesPerSecond ? EncodeFrameInterval(framesPerSecond, true) : 0; // 0: not given
    wish.quality = quality;
    wish.width = width;
    wish.height = height;
    wish.streamIndex = stream;
    return wish;
}

} // namespace talvex::test

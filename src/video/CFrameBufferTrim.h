// Keeps a depacketiser's frame buffer from holding on to the storage of a
// rare oversized frame. The buffer keeps its capacity from frame to frame (no
// allocation per frame); but after kQuietFrames frames in a row no larger than
// kKeptBytes, a capacity above kKeptBytes is given back, with the process's
// freed memory. A stream whose frames are regularly that large keeps it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvex {

class CFrameBufferTrim {
public:
    static constexpr size_t kKeptBytes = 1 << 20;
    static constexpr uint32_t kQuietFrames = 300; // some 10 s of video

    // Empties the buffer of a finished frame (delivered or not).
    void EmptyAfterFrame(std::vector<uint8_t>& frame);

private:
    uint32_t m_quietFrames = 0;
};

} // namespace talvex

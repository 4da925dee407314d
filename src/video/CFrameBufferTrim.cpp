#include "video/CFrameBufferTrim.h"

#include "common/MemoryRelease.h"

namespace talvex {

void CFrameBufferTrim::EmptyAfterFrame(std::vector<uint8_t>& frame) {
    if (frame.size() > kKeptBytes) {
        m_quietFrames = 0;
    } else if (frame.capacity() > kKeptBytes && ++m_quietFrames >= kQuietFrames) {
        m_quietFrames = 0;
        std::vector<uint8_t>().swap(frame);
        ReleaseFreedMemory();
        return;
    }
    frame.clear();
}

} // namespace talvex

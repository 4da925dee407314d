#include "streaming/CBatchSizeWindow.h"

#include <algorithm>

namespace talvex {

void CBatchSizeWindow::Note(size_t batchSize, uint64_t nowMs) {
    if (nowMs - m_windowStartMs >= WINDOW_MS) {
        // A window with no batch at all (a stalled stream) forgets both.
        const bool skippedOne = nowMs - m_windowStartMs >= 2 * WINDOW_MS;
        m_largest[1] = skippedOne ? 0 : m_largest[0];
        m_largest[0] = 0;
        m_windowStartMs = nowMs;
    }
    m_largest[0] = std::max(m_largest[0], batchSize);
}

size_t CBatchSizeWindow::KeptEntries() const {
    return 2 * std::max(m_largest[0], m_largest[1]);
}

} // namespace talvex

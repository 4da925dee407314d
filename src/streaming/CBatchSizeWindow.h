#pragma once

// The largest packet batch a receiver delivered lately, which sizes the
// storage it keeps for the next batches: twice that, so ordinary bursts (a key
// frame) reuse it, while a burst of thousands of packets (an oversized frame)
// leaves its storage behind only until the window has passed it by.
#include <cstddef>
#include <cstdint>

namespace talvex {

class CBatchSizeWindow {
public:
    // A batch is remembered for one to two windows.
    static constexpr uint64_t WINDOW_MS = 10000;

    void Note(size_t batchSize, uint64_t nowMs);
    // Twice the largest batch of the current and the previous window.
    size_t KeptEntries() const;

private:
    size_t m_largest[2] = {0, 0}; // current, previous window
    uint64_t m_windowStartMs = 0;
};

} // namespace talvex

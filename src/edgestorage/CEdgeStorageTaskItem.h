// One missed interval of one channel, waiting in the handler's work queue.
#pragma once

#include <cstdint>
#include <memory>

namespace talvex {

class CEdgeStorageTaskItem {
public:
    // Null unless begin is a time and comes before end.
    static std::unique_ptr<CEdgeStorageTaskItem> Make(uint32_t channel, uint64_t begin, uint64_t end);
    CEdgeStorageTaskItem(uint32_t channel, uint64_t begin, uint64_t end)
        : m_channel(channel), m_begin(begin), m_end(end) {}

    uint32_t GetChannel() const { return m_channel; }
    uint64_t GetBegin() const { return m_begin; }
    uint64_t GetEnd() const { return m_end; }

private:
    uint32_t m_channel;
    uint64_t m_begin;
    uint64_t m_end;
};

} // namespace talvex

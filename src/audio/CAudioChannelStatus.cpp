#include "audio/CAudioChannelStatus.h"

namespace talvex {

bool CAudioChannelStatus::Set(uint32_t status) {
    {
        std::lock_guard lock(m_lock);
        if (status >= m_edges.size() || !(m_edges[m_status] & StatusBit(status)))
            return false;
        m_status = status;
    }
    if (m_report)
        m_report(status);
    return true;
}

uint32_t CAudioChannelStatus::Get() const {
    std::lock_guard lock(m_lock);
    return m_status;
}

} // namespace talvex

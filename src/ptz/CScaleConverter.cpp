#include "ptz/CScaleConverter.h"

#include <algorithm>

namespace talvex {

void CScaleConverter::SetSourceRange(uint32_t first, uint32_t second) {
    m_srcMin = std::min(first, second);
    m_srcMax = std::max(first, second);
}

void CScaleConverter::SetTargetRange(uint32_t first, uint32_t second) {
    m_dstMin = std::min(first, second);
    m_dstMax = std::max(first, second);
}

uint32_t CScaleConverter::Convert(uint32_t value) const {
    const uint32_t source = m_srcMax - m_srcMin;
    const uint32_t target = m_dstMax - m_dstMin;
    if (source == 0 || target == 0)
        return uint32_t((uint64_t(m_dstMin) + m_dstMax) / 2);
    const uint32_t offset = std::clamp(value, m_srcMin, m_srcMax) - m_srcMin;
    const double scaled = std::min(double(offset) * target / source, double(target));
    return m_dstMin + uint32_t(scaled + 0.5);
}

} // namespace talvex

// Maps the host's speed scale onto a camera command's own range.
#pragma once

#include <cstdint>

namespace talvex {

class CScaleConverter {
public:
    virtual ~CScaleConverter() = default;

    // Either order: the smaller value becomes the minimum.
    void SetSourceRange(uint32_t first, uint32_t second);
    void SetTargetRange(uint32_t first, uint32_t second);
    // Clamped to the source range, then scaled and rounded to nearest; an
    // empty range on either side gives the middle of the target range.
    uint32_t Convert(uint32_t value) const;

private:
    uint32_t m_srcMin = 1;
    uint32_t m_srcMax = 16;
    uint32_t m_dstMin = 0;
    uint32_t m_dstMax = 0;
};

} // namespace talvex

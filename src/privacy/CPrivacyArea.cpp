#include "privacy/CPrivacyArea.h"

#include "common/StringFormat.h"

namespace talvex {

CPrivacyArea::CPrivacyArea(uint16_t x, uint16_t y, uint16_t width, uint16_t height)
    : m_text(FormatString("%hu,%hu,%hu,%hu", x, y, width, height)) {}

} // namespace talvex

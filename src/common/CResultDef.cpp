#include "common/CResultDef.h"

#include "common/StringFormat.h"

#include <cstdarg>

namespace talvex {

void CResultDef::SetResultEx(uint32_t code, uint32_t detail, const char* format, ...) {
    m_code = code;
    m_detail = detail;
    m_message.clear();
    if (!format)
        return;
    va_list args;
    va_start(args, format);
    try {
        m_message = FormatStringV(format, args);
    } catch (...) {
        m_message = "talvex::CResultDef::SetResultEx: Unexpected exception during string formatting.";
    }
    va_end(args);
}

} // namespace talvex

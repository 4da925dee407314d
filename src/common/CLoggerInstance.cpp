#include "common/CLoggerInstance.h"

#include "common/IDriver.h"
#include "common/StringFormat.h"

#include <cstdarg>

namespace talvex {

CLoggerInstance::CLoggerInstance(IDriver* owner) : m_owner(owner) {}

void CLoggerInstance::Log(uint32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatStringV(format, args);
    va_end(args);
    if (text.empty())
        return;
    {
        CAutoLock lock(m_lock);
        if (text == m_lastText)
            return;
        ++m_counter;
        if (!ScheduleAllows(m_counter))
            return;
        m_lastText = text;
    }
    // The host's sink is called outside the lock.
    if (m_owner)
        m_owner->DebugMessage(level, "%s", text.c_str());
}

void CLoggerInstance::ResetLastMessage() {
    CAutoLock lock(m_lock);
    m_lastText.clear();
}

// Every message up to the 14th, then every 16th, every 256th and every 4096th;
// the counter wraps from 65535 back to 4095 so the sparsest rate continues.
bool CLoggerInstance::ScheduleAllows(uint32_t& counter) {
    constexpr uint32_t kWrapAt = 65535;
    constexpr uint32_t kWrapTo = 4095;
    if (counter < 15)
        return true;
    if (counter <= 254)
        return counter % 16 == 0;
    if (counter <= 4094)
        return counter % 256 == 0;
    if (counter < kWrapAt)
        return counter % 4096 == 0;
    counter = kWrapTo;
    return false;
}

} // namespace talvex

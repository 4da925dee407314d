#include "channels/CStartFailureLog.h"

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kInformationLevel = 3;
constexpr const char* kMethod = "talvex::CBaseRTPChannel::Connect";

} // namespace

void CStartFailureLog::Restart() {
    std::lock_guard lock(m_lock);
    m_lastCause.clear();
    m_failedAttempts = 0;
}

void CStartFailureLog::Failed(const std::string& stream, const std::string& cause) {
    std::lock_guard lock(m_lock);
    ++m_failedAttempts;
    if (cause == m_lastCause)
        return;
    m_lastCause = cause;
    m_log.DebugMessage(kErrorLevel, "%s: %s cannot start: %s", kMethod, stream.c_str(), cause.c_str());
}

void CStartFailureLog::Started(const std::string& stream) {
    std::lock_guard lock(m_lock);
    if (m_failedAttempts > 0)
        m_log.DebugMessage(kInformationLevel, "%s: %s started, recovered after %u failed attempts", kMethod,
                           stream.c_str(), m_failedAttempts);
    m_lastCause.clear();
    m_failedAttempts = 0;
}

} // namespace talvex

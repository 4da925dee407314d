#include "HostDebugSink.h"

#include <chrono>
#include <ctime>

namespace fennwick_host {

HostDebugSink::HostDebugSink() = default;

HostDebugSink::~HostDebugSink() {
    if (m_logFile)
        std::fclose(m_logFile);
}

std::optional<std::string> HostDebugSink::OpenLogFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return "cannot write log file " + path;
    std::lock_guard lock(m_mutex);
    if (m_logFile)
        std::fclose(m_logFile);
    m_logFile = file;
    return std::nullopt;
}

std::string HostDebugSink::FormatLine(int64_t unixTimeMs, unsigned level, const char* text) {
    time_t seconds = time_t(unixTimeMs / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &local);
    char millis[8];
    std::snprintf(millis, sizeof(millis), ".%03d", int(unixTimeMs % 1000));
    return std::string(stamp) + millis + " [" + std::to_string(level) + "] " + (text ? text : "");
}

void HostDebugSink::Message(const talvex::CDebugInfoIf* info) {
    if (!info)
        return;
    auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
    std::string line = FormatLine(now, info->GetLevel(), info->GetText()) + "\n";
    std::lock_guard lock(m_mutex);
    std::fputs(line.c_str(), stderr);
    if (m_logFile) {
        std::fputs(line.c_str(), m_logFile);
        std::fflush(m_logFile);
    }
}

} // namespace fennwick_host

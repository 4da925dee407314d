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
    const std::string text = info->GetText() ? info->GetText() : "";
    std::string line = FormatLine(now, info->GetLevel(), text.c_str()) + "\n";
    {
        std::lock_guard lock(m_mutex);
        const bool statusShown = m_statusShown;
        EraseStatus();
        std::fputs(line.c_str(), stderr);
        if (statusShown) {
            WriteStatus();
            m_statusShown = true;
        }
        if (m_logFile) {
            std::fputs(line.c_str(), m_logFile);
            std::fflush(m_logFile);
        }
    }
    // Outside the lock: a listener takes its own.
    DispatchStartFailure(text);
}

void HostDebugSink::WatchStartFailures(std::string streamTitle, IStartFailureListener& listener) {
    m_startFailureListeners.emplace_back(std::move(streamTitle) + " cannot start: ", &listener);
}

void HostDebugSink::DispatchStartFailure(const std::string& text) {
    for (const auto& [key, listener] : m_startFailureListeners)
        if (const size_t at = text.find(key); at != std::string::npos)
            listener->OnStartFailure(text, text.substr(at + key.size()));
}

void HostDebugSink::ShowStatus(std::vector<std::string> lines, bool rewrite) {
    std::lock_guard lock(m_mutex);
    EraseStatus();
    m_status = std::move(lines);
    WriteStatus();
    m_statusShown = rewrite && !m_status.empty();
    std::fflush(stderr);
}

void HostDebugSink::EraseStatus() {
    if (!m_statusShown)
        return;
    // Cursor up over the block, then clear to the end of the screen.
    std::fprintf(stderr, "\033[%zuA\033[J", m_status.size());
    m_statusShown = false;
}

void HostDebugSink::WriteStatus() {
    for (const std::string& line : m_status)
        std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace fennwick_host

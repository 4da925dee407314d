// The host's debug sink: every driver log line with its local time and level,
// to stderr and optionally to a log file. Callable from any driver thread.
#pragma once

#include <talvex/ipcapture/DebugInfo.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace fennwick_host {

class HostDebugSink : public talvex::ipcapture::IHostDebugSink {
public:
    HostDebugSink();
    ~HostDebugSink() override;

    // Appends to path from now on; the error text when it cannot be opened.
    std::optional<std::string> OpenLogFile(const std::string& path);

    void Message(const talvex::CDebugInfoIf* info) override;

    // "YYYY-MM-DD HH:MM:SS.mmm [level] text" for a time in ms since the epoch.
    static std::string FormatLine(int64_t unixTimeMs, unsigned level, const char* text);

private:
    std::mutex m_mutex;
    FILE* m_logFile = nullptr;
};

} // namespace fennwick_host

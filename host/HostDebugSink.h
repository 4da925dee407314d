// The host's debug sink: every driver log line with its local time and level,
// to stderr and optionally to a log file. Callable from any driver thread.
// It also keeps the record command's status block below the log on stderr,
// and hands the driver's start failure lines to the streams they name.
#pragma once

#include <talvex/ipcapture/DebugInfo.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fennwick_host {

// Told of every start failure line the driver writes for one stream.
class IStartFailureListener {
public:
    virtual ~IStartFailureListener() = default;
    // line: the driver's text; cause: what follows "cannot start: " in it.
    virtual void OnStartFailure(const std::string& line, const std::string& cause) = 0;
};

class HostDebugSink : public talvex::ipcapture::IHostDebugSink {
public:
    HostDebugSink();
    ~HostDebugSink() override;

    // Appends to path from now on; the error text when it cannot be opened.
    std::optional<std::string> OpenLogFile(const std::string& path);

    void Message(const talvex::CDebugInfoIf* info) override;

    // Lines naming "<streamTitle> cannot start: " go to listener. streamTitle is
    // the driver's name of a stream ("Recording stream of device 10.0.0.5:80").
    // Only before the driver runs: the list is read without a lock.
    void WatchStartFailures(std::string streamTitle, IStartFailureListener& listener);
    // Shows lines as the status block below the log (replacing the last block
    // when rewrite is set, as on a terminal); an empty list removes it.
    void ShowStatus(std::vector<std::string> lines, bool rewrite);

    // "YYYY-MM-DD HH:MM:SS.mmm [level] text" for a time in ms since the epoch.
    static std::string FormatLine(int64_t unixTimeMs, unsigned level, const char* text);

private:
    // Removes the status block shown on a terminal (under m_mutex).
    void EraseStatus();
    void WriteStatus();
    void DispatchStartFailure(const std::string& text);

    std::mutex m_mutex;
    FILE* m_logFile = nullptr;
    std::vector<std::pair<std::string, IStartFailureListener*>> m_startFailureListeners;
    std::vector<std::string> m_status;
    bool m_statusShown = false; // the block is on the terminal and is rewritten in place
};

} // namespace fennwick_host

// The host's event file (--events): one line per stream event, appended by
// driver threads as the events happen, for tools that watch a long recording:
//   <unix_ms> <camera> <stream> signal-lost
//   <unix_ms> <camera> <stream> resumed <gap_ms>
//   <unix_ms> <camera> motion on|off
#pragma once

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace fennwick_host {

class StreamEventLog {
public:
    StreamEventLog() = default;
    ~StreamEventLog();
    StreamEventLog(const StreamEventLog&) = delete;
    StreamEventLog& operator=(const StreamEventLog&) = delete;

    // Opens the file for appending; the error text when it cannot.
    std::optional<std::string> Open(const std::string& path);
    // Writes to a stream the caller keeps open (stdout) instead of a file.
    void Attach(std::FILE* stream);
    // Writes "<unix_ms> <source> <event>" and flushes it; nothing when not open.
    void Record(const std::string& source, const std::string& event);

private:
    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    bool m_ownsFile = false;
};

} // namespace fennwick_host

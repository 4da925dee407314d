#include "StreamEventLog.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace fennwick_host {

StreamEventLog::~StreamEventLog() {
    if (m_file && m_ownsFile)
        std::fclose(m_file);
}

std::optional<std::string> StreamEventLog::Open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return "cannot open " + path + ": " + std::strerror(errno);
    if (m_file && m_ownsFile)
        std::fclose(m_file);
    m_file = file;
    m_ownsFile = true;
    return std::nullopt;
}

void StreamEventLog::Attach(std::FILE* stream) {
    std::lock_guard lock(m_mutex);
    if (m_file && m_ownsFile)
        std::fclose(m_file);
    m_file = stream;
    m_ownsFile = false;
}

void StreamEventLog::Record(const std::string& source, const std::string& event) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const long long unixMs = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    std::fprintf(m_file, "%lld %s %s\n", unixMs, source.c_str(), event.c_str());
    std::fflush(m_file);
}

} // namespace fennwick_host

// What a channel tells about the start attempts of its stream: the cause of
// a failed attempt once at the error level, not again while the same cause
// persists, and one line when a start succeeds after failures. A host that
// only sees "no frames" otherwise never learns why.
#pragma once

#include "common/IDriver.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace talvex {

class CStartFailureLog {
public:
    explicit CStartFailureLog(IDebugMessage& log) : m_log(log) {}

    // A new start of the channel: its first failure is told even when it repeats the last one.
    void Restart();
    // stream: "Recording stream of device 10.0.0.5:80"; cause: what failed, without credentials.
    void Failed(const std::string& stream, const std::string& cause);
    void Started(const std::string& stream);

private:
    IDebugMessage& m_log;
    std::mutex m_lock;
    std::string m_lastCause;
    uint32_t m_failedAttempts = 0;
};

} // namespace talvex

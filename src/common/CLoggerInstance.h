// Flood-limiting logger for trouble a camera can cause again and again: drops
// a text equal to the last one sent and thins out the rest by a schedule.
#pragma once

#include "common/CRecursiveLock.h"

#include <cstdint>
#include <string>

namespace talvex {

class IDriver;

class CLoggerInstance {
public:
    explicit CLoggerInstance(IDriver* owner);
    virtual ~CLoggerInstance() = default;

    void Log(uint32_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Clears the last text (the counter keeps its value).
    void ResetLastMessage();

private:
    static bool ScheduleAllows(uint32_t& counter);

    IDriver* m_owner;
    uint32_t m_counter = 0;
    CRecursiveLock m_lock;
    std::string m_lastText;
};

} // namespace talvex

// A worker thread with a stop event and bounded stop and join. Derived classes
// must stop their thread in their own destructor (Run is theirs).
#pragma once

#include "common/CEvent.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace talvex {

class IDriver;

class CBaseThread {
public:
    explicit CBaseThread(IDriver* owner);
    virtual ~CBaseThread(); // StopThread(5432)
    CBaseThread(const CBaseThread&) = delete;
    CBaseThread& operator=(const CBaseThread&) = delete;

    // Resets the stop event and starts Run(); false when a thread still runs.
    virtual bool StartThread(const std::string& name);
    // Sets the stop event, waits timeoutMs, logs and waits on if need be.
    // False when called on the worker itself.
    virtual bool JoinThread(uint32_t timeoutMs);
    // As JoinThread; a thread that outlasts the limit is logged as to be
    // terminated and then joined (no forced termination on this platform).
    virtual bool StopThread(uint32_t timeoutMs);

    bool IsRunning() const;
    uint32_t GetThreadId() const { return m_threadId; }
    const std::string& GetName() const { return m_name; }
    CManualEvent& GetStopEvent() { return m_stopEvent; }
    IDriver* GetOwner() const { return m_owner; }

protected:
    virtual void Run() = 0;

private:
    bool Join(uint32_t timeoutMs, const char* method, const char* notStoppedSuffix);
    void ThreadEntry();

    std::string m_name;
    // Guards m_thread: start, join and the destructor may come from different threads.
    mutable std::mutex m_handleMutex;
    std::thread m_thread;
    std::atomic<uint32_t> m_threadId{0};
    std::atomic<bool> m_finished{true};
    IDriver* m_owner;
    CManualEvent m_stopEvent;
    CManualEvent m_finishedEvent;
};

} // namespace talvex

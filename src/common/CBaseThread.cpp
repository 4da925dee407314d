#include "common/CBaseThread.h"

#include "common/CTime.h"
#include "common/IDriver.h"

#include <exception>
#include <pthread.h>
#include <system_error>
#include <unistd.h>

namespace talvex {

namespace {

constexpr uint32_t kDestructorStopTimeoutMs = 5432;
// Linux thread names hold 15 characters and the terminating zero.
constexpr size_t kMaxOsThreadName = 15;

} // namespace

CBaseThread::CBaseThread(IDriver* owner) : m_owner(owner) {}

CBaseThread::~CBaseThread() {
    StopThread(kDestructorStopTimeoutMs);
    std::lock_guard lock(m_handleMutex);
    // Destroyed from its own worker: nothing can wait for it, let it end alone.
    if (m_thread.joinable())
        m_thread.detach();
}

bool CBaseThread::IsRunning() const {
    std::lock_guard lock(m_handleMutex);
    return m_thread.joinable() && !m_finished.load();
}

bool CBaseThread::StartThread(const std::string& name) {
    std::lock_guard lock(m_handleMutex);
    // A running thread keeps its stop request: only a new thread starts afresh.
    if (m_thread.joinable() && !m_finished.load())
        return false;
    m_stopEvent.Reset();
    if (m_thread.joinable())
        m_thread.join();
    m_name = name;
    m_threadId.store(0);
    m_finishedEvent.Reset();
    m_finished.store(false);
    try {
        m_thread = std::thread(&CBaseThread::ThreadEntry, this);
    } catch (const std::system_error&) {
        m_finished.store(true);
        m_finishedEvent.Set();
        return false;
    }
    // Log lines name the thread by its id: have it before anyone can ask.
    m_threadId.wait(0);
    return true;
}

void CBaseThread::ThreadEntry() {
    pthread_setname_np(pthread_self(), m_name.substr(0, kMaxOsThreadName).c_str());
    m_threadId.store(uint32_t(::gettid()));
    m_threadId.notify_all();
    try {
        Run();
    } catch (const std::exception& error) {
        if (m_owner)
            m_owner->DebugMessage(1, "talvex::CBaseThread::ThreadEntry: Thread (id=%u, name=\"%s\") for device %s ended by an exception: %s",
                                  m_threadId.load(), m_name.c_str(), m_owner->GetDeviceTag().c_str(), error.what());
    } catch (...) {
        if (m_owner)
            m_owner->DebugMessage(1, "talvex::CBaseThread::ThreadEntry: Thread (id=%u, name=\"%s\") for device %s ended by an unknown exception",
                                  m_threadId.load(), m_name.c_str(), m_owner->GetDeviceTag().c_str());
    }
    m_finished.store(true);
    m_finishedEvent.Set();
}

bool CBaseThread::JoinThread(uint32_t timeoutMs) {
    return Join(timeoutMs, "talvex::CBaseThread::JoinThread", "");
}

bool CBaseThread::StopThread(uint32_t timeoutMs) {
    // No forced termination exists here: the line is kept for the log reader,
    // then the thread is joined like any other (every wait watches the stop event).
    return Join(timeoutMs, "talvex::CBaseThread::StopThread", " and will be terminated!");
}

bool CBaseThread::Join(uint32_t timeoutMs, const char* method, const char* notStoppedSuffix) {
    m_stopEvent.Set();
    {
        std::lock_guard lock(m_handleMutex);
        if (!m_thread.joinable())
            return true;
        if (m_thread.get_id() == std::this_thread::get_id())
            return false;
    }
    const CTime start = CTime::Now();
    if (!m_finishedEvent.Wait(timeoutMs)) {
        if (m_owner)
            m_owner->DebugMessage(2, "%s: Thread (id=%u, name=\"%s\") for device %s was not stopped during %lu milliseconds%s",
                                  method, m_threadId.load(), m_name.c_str(), m_owner->GetDeviceTag().c_str(),
                                  static_cast<unsigned long>(timeoutMs), notStoppedSuffix);
        m_finishedEvent.Wait(CEvent::kInfinite);
        if (m_owner)
            m_owner->DebugMessage(3, "%s: Thread (id=%u, name=\"%s\") was stopped correctly after %u milliseconds", method,
                                  m_threadId.load(), m_name.c_str(), uint32_t(CTime::ElapsedMs(start, CTime::Now())));
    }
    std::lock_guard lock(m_handleMutex);
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

} // namespace talvex

// The one lock type of the driver: recursive for the owning thread.
#pragma once

#include <mutex>

namespace talvex {

class CRecursiveLock {
public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    // BasicLockable, so std::lock_guard and std::unique_lock work too.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::recursive_mutex m_mutex;
};

class CAutoLock {
public:
    explicit CAutoLock(CRecursiveLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CAutoLock() { m_lock.Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CRecursiveLock& m_lock;
};

} // namespace talvex

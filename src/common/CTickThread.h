// A periodic worker: OnTick every period, measured from the end of one tick
// to the start of the next.
#pragma once

#include "common/CBaseThread.h"

namespace talvex {

class CTickThread : private CBaseThread {
public:
    CTickThread(IDriver* owner, uint32_t periodMs);
    ~CTickThread() override;

    bool Start(const std::string& name, bool immediate);
    using CBaseThread::GetStopEvent;
    using CBaseThread::IsRunning;
    using CBaseThread::JoinThread;
    using CBaseThread::StopThread;
    using CBaseThread::GetName;
    using CBaseThread::GetThreadId;
    uint32_t GetPeriodMs() const { return m_periodMs; }

protected:
    virtual void OnTick() = 0;

private:
    void Run() override;
    void TickGuarded();

    uint32_t m_periodMs;
    bool m_immediate = false;
};

template <class T>
class TTickThread : public CTickThread {
public:
    using Method = void (T::*)();
    TTickThread(IDriver* owner, uint32_t periodMs, T* object = nullptr, Method method = nullptr)
        : CTickThread(owner, periodMs), m_object(object), m_method(method) {}
    ~TTickThread() override { StopThread(5432); }

    void SetTarget(T* object, Method method) {
        m_object = object;
        m_method = method;
    }

protected:
    void OnTick() override {
        if (m_object && m_method)
            (m_object->*m_method)();
    }

private:
    T* m_object;
    Method m_method;
};

} // namespace talvex

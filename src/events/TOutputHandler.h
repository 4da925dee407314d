// The output worker of a digital I/O object: applies queued output changes
// one at a time, in the order the host asked for them, through a member of
// its owner.
#pragma once

#include "common/CQueueThread.h"
#include "events/COutputState.h"

namespace talvex {

template <class T>
class TOutputHandler : public CQueueThread<COutputState> {
public:
    using Method = void (T::*)(uint32_t index, uint32_t state);
    static constexpr uint32_t kDestructorStopTimeoutMs = 5000;

    TOutputHandler(IDriver* owner, T* object, Method method)
        : CQueueThread<COutputState>(owner), m_object(object), m_method(method) {}
    ~TOutputHandler() override { Stop(kDestructorStopTimeoutMs); }

protected:
    void ProcessItem(COutputState* item) override { (m_object->*m_method)(item->index, item->state); }

private:
    T* const m_object;
    const Method m_method;
};

} // namespace talvex

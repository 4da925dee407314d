// A worker fed by a queue: items are processed one at a time, strictly in the
// order pushed, on the worker thread. The queue owns its items. A derived
// class must stop the thread in its own destructor (ProcessItem is theirs).
#pragma once

#include "common/CBaseThread.h"
#include "common/CRecursiveLock.h"
#include "common/IDriver.h"

#include <deque>
#include <exception>
#include <memory>
#include <mutex>

namespace talvex {

template <class T>
class CQueueThread : public CBaseThread {
public:
    static constexpr uint32_t kDestructorJoinTimeoutMs = 5000;

    explicit CQueueThread(IDriver* owner) : CBaseThread(owner), m_itemEvent(false) {}
    ~CQueueThread() override { JoinThread(kDestructorJoinTimeoutMs); }

    virtual bool Start(const std::string& name) {
        m_itemEvent.Reset();
        return StartThread(name);
    }
    // Drops every queued item, then joins the worker.
    virtual bool Stop(uint32_t timeoutMs) {
        {
            std::lock_guard lock(m_lock);
            GetStopEvent().Set();
            m_queue.clear();
        }
        return JoinThread(timeoutMs);
    }

    // Takes ownership in every case; after a stop (or for a null item) the
    // item is deleted and false returned.
    bool Push(T* item) {
        std::unique_ptr<T> owned(item);
        if (!owned)
            return false;
        std::lock_guard lock(m_lock);
        if (GetStopEvent().Wait(0))
            return false;
        m_queue.push_back(std::move(owned));
        m_itemEvent.Set();
        return true;
    }

    // As Push, but first drops the oldest items while limit or more wait
    // (no limit when 0); dropped counts them.
    bool PushLimited(std::unique_ptr<T> item, size_t limit, size_t& dropped) {
        dropped = 0;
        if (!item)
            return false;
        std::lock_guard lock(m_lock);
        if (GetStopEvent().Wait(0))
            return false;
        for (; limit != 0 && m_queue.size() >= limit; ++dropped)
            m_queue.pop_front();
        m_queue.push_back(std::move(item));
        m_itemEvent.Set();
        return true;
    }

    size_t QueuedCount() {
        std::lock_guard lock(m_lock);
        return m_queue.size();
    }

protected:
    virtual void ProcessItem(T* item) = 0;

    void Run() override {
        // WaitAny polls the stop event too; the time-out only bounds one round.
        constexpr uint32_t kRoundMs = 1000;
        CEvent* events[] = {&GetStopEvent(), &m_itemEvent};
        // Items pushed before the start are not left waiting for the next push.
        ProcessQueuedItems();
        while (!GetStopEvent().Wait(0)) {
            if (CEvent::WaitAny(events, 2, kRoundMs) == 1)
                ProcessQueuedItems();
        }
    }

private:
    void ProcessQueuedItems() {
        for (;;) {
            std::unique_ptr<T> item = TakeFront();
            if (!item || GetStopEvent().Wait(0))
                return;
            ProcessGuarded(item.get());
        }
    }

    std::unique_ptr<T> TakeFront() {
        std::lock_guard lock(m_lock);
        if (m_queue.empty())
            return nullptr;
        std::unique_ptr<T> item = std::move(m_queue.front());
        m_queue.pop_front();
        return item;
    }

    // An item that fails is dropped; the worker goes on with the next one.
    void ProcessGuarded(T* item) {
        try {
            ProcessItem(item);
        } catch (const std::exception& error) {
            LogFailedItem(error.what());
        } catch (...) {
            LogFailedItem("unknown exception");
        }
    }

    void LogFailedItem(const char* reason) {
        if (IDriver* owner = GetOwner())
            owner->DebugMessage(1, "talvex::CQueueThread::Run: Processing an item of thread \"%s\" for device %s failed: %s",
                                GetName().c_str(), owner->GetDeviceTag().c_str(), reason);
    }

    CEvent m_itemEvent;
    CRecursiveLock m_lock;
    std::deque<std::unique_ptr<T>> m_queue;
};

} // namespace talvex

// Notices outages of a device from the frame times its live channels report,
// queues the interval each channel missed, and lets the device's task fetch
// them from the camera's own storage into the channel's host callback.
//
// Two threads: the monitor thread detects outages and recoveries; the video
// receiving thread works through the queued intervals one at a time. Both
// start with the first channel added and stop at destruction.
#pragma once

#include "common/CBaseThread.h"
#include "common/CTime.h"
#include "common/IDriver.h"
#include "edgestorage/CEdgeOutageRules.h"
#include "edgestorage/IEdgeStorageHandler.h"
#include "edgestorage/IEdgeStorageTask.h"
#include "edgestorage/IEdgeStorageTaskUser.h"
#include "edgestorage/TEdgeStorageQueueHandler.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace talvex {

class CBaseEdgeStorageHandler : public IEdgeStorageHandler,
                                public IEdgeStorageCallback,
                                public IEdgeStorageTaskUser {
public:
    using Clock = std::function<CTime()>;

    // Longest wait of the video receiving thread between two looks at its interval.
    static constexpr uint32_t kProcessWaitMs = 10000;
    // An interval whose fetch fails this many times in a row without getting
    // further is given up, so that one the camera cannot serve does not hold
    // the queue (and the camera) for ever.
    static constexpr uint32_t kMaxPassesWithoutProgress = 6;
    static constexpr uint32_t kThreadStopTimeoutMs = 5000;

    // queueLimit: most intervals waiting (0: no limit); the oldest go first.
    CBaseEdgeStorageHandler(IDriver* driver, uint32_t queueLimit, Clock clock = &CTime::Now);
    ~CBaseEdgeStorageHandler() override;
    CBaseEdgeStorageHandler(const CBaseEdgeStorageHandler&) = delete;
    CBaseEdgeStorageHandler& operator=(const CBaseEdgeStorageHandler&) = delete;

    // IEdgeStorageHandler
    void AddChannel(IEdgeMonitorChannel* channel) override;
    void RemoveChannel(IEdgeMonitorChannel* channel) override;

    // IEdgeStorageCallback
    void OnFrameTime(uint32_t channelNumber, uint64_t time) override;
    void OnSignalLost(uint32_t channelNumber) override;

    // IEdgeStorageTaskUser
    bool CaptureFrameCallback(uint32_t channelNumber, ipcapture::IVideoFrame* frame) override;

    // The video receiving thread's work on one interval.
    void ProcessEdgeStorageTaskItem(const CEdgeStorageTaskItem& item);

    size_t QueuedCount() { return m_queue.QueuedCount(); }
    // Postponed intervals of a channel that went away, as (begin, end).
    std::multimap<uint32_t, std::pair<uint64_t, uint64_t>> GetPostponed();

protected:
    // Called once by the device's handler while it is being made.
    void SetTask(std::unique_ptr<IEdgeStorageTask> task) { m_task = std::move(task); }
    IDriver* GetDriver() const { return m_driver; }

private:
    class CMonitorThread : public CBaseThread {
    public:
        CMonitorThread(CBaseEdgeStorageHandler& owner, IDriver* driver) : CBaseThread(driver), m_owner(owner) {}
        ~CMonitorThread() override { StopThread(kThreadStopTimeoutMs); }

    protected:
        void Run() override { m_owner.RunMonitor(GetStopEvent()); }

    private:
        CBaseEdgeStorageHandler& m_owner;
    };

    void StartEdgeStorageThreads();
    void StopEdgeStorageThreads();
    void RunMonitor(CEvent& stop);
    // Waits until every channel has been silent longer than the second
    // time-out; the channel map at that moment becomes the snapshot. False on stop.
    bool WaitForOutage(CEvent& stop, EdgeChannelMap& snapshot);
    void QueueMissedIntervals(const EdgeChannelMap& snapshot);
    void QueueItem(uint32_t channelNumber, uint64_t begin, uint64_t end);
    void QueuePostponed(uint32_t channelNumber);
    EdgeChannelMap CopyChannels();
    bool IsRegistered(uint32_t channelNumber);
    // Fetches the interval until it is done, stopped, given up or postponed.
    void FetchInterval(const CEdgeStorageTaskItem& item);
    // Keeps the rest of an interval of a channel that went away for its return.
    void Postpone(uint32_t channelNumber, uint64_t progress, uint64_t end);
    void LogWorkItem(const CEdgeStorageTaskItem& item, const char* stage);

    IDriver* const m_driver;
    const DEVICE_INFO m_device;
    const uint32_t m_queueLimit;
    const Clock m_clock;

    std::mutex m_lock; // the channel map
    EdgeChannelMap m_channels;
    std::mutex m_resumeLock;
    uint64_t m_resumeTime = 0;
    std::mutex m_postponedLock;
    std::multimap<uint32_t, std::pair<uint64_t, uint64_t>> m_postponed;
    // Held while a recorded frame is with a host callback: a channel that goes
    // away waits for it, so its callback is never called after its removal.
    // Recursive: a host that stops the channel from inside its callback comes back on this thread.
    std::recursive_mutex m_deliveryLock;
    std::mutex m_threadLock; // starting and stopping the threads

    std::atomic<bool> m_taskAvailable{false};
    std::unique_ptr<IEdgeStorageTask> m_task;

    CManualEvent m_frameReported;
    CEvent m_channelLost{false};
    CEvent m_channelRemoved{false};

    TEdgeStorageQueueHandler<CBaseEdgeStorageHandler> m_queue;
    CMonitorThread m_monitor;
};

} // namespace talvex

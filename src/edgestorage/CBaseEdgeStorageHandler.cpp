#include "edgestorage/CBaseEdgeStorageHandler.h"

#include <algorithm>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kInformationLevel = 3;
// A device whose second time-out is 0 would make the outage watch spin.
constexpr uint32_t kMinOutageWaitMs = 100;

std::string TimeText(uint64_t time) {
    return CTime(time).ToString();
}

} // namespace

CBaseEdgeStorageHandler::CBaseEdgeStorageHandler(IDriver* driver, uint32_t queueLimit, Clock clock)
    : m_driver(driver), m_device(*driver->GetDeviceInfo()), m_queueLimit(queueLimit), m_clock(std::move(clock)),
      m_queue(*this, driver), m_monitor(*this, driver) {}

CBaseEdgeStorageHandler::~CBaseEdgeStorageHandler() {
    StopEdgeStorageThreads();
}

void CBaseEdgeStorageHandler::AddChannel(IEdgeMonitorChannel* channel) {
    if (!channel || !m_task)
        return;
    ipcapture::IVideoChannelCallback* callback = channel->GetCallback();
    const uint32_t number = channel->GetChannel();
    if (!callback)
        return;
    bool added = false;
    {
        std::lock_guard lock(m_lock);
        auto [entry, inserted] = m_channels.try_emplace(number, EdgeChannelRecord{callback, 1, 0});
        if (!inserted)
            ++entry->second.registrations;
        added = inserted;
    }
    if (added) {
        // Started first: a queue thread that starts resets its item event.
        StartEdgeStorageThreads();
        QueuePostponed(number);
    }
    channel->SetEdgeMonitor(this);
}

void CBaseEdgeStorageHandler::RemoveChannel(IEdgeMonitorChannel* channel) {
    if (!channel)
        return;
    const uint32_t number = channel->GetChannel();
    {
        std::lock_guard lock(m_lock);
        const auto entry = m_channels.find(number);
        if (entry == m_channels.end())
            return;
        channel->SetEdgeMonitor(nullptr);
        if (entry->second.registrations > 0)
            --entry->second.registrations;
        if (entry->second.registrations > 0)
            return;
        m_channels.erase(entry);
    }
    m_channelRemoved.Set();
    if (m_task)
        m_task->StopChannel(number);
    // A recorded frame on its way to this channel's callback arrives before the channel goes.
    std::lock_guard delivery(m_deliveryLock);
}

void CBaseEdgeStorageHandler::OnFrameTime(uint32_t channelNumber, uint64_t time) {
    {
        std::lock_guard lock(m_lock);
        const auto entry = m_channels.find(channelNumber);
        if (entry != m_channels.end() && entry->second.lastFrameTime < time) {
            {
                std::lock_guard resume(m_resumeLock);
                if (m_resumeTime == 0)
                    m_resumeTime = time;
            }
            entry->second.lastFrameTime = time;
            m_frameReported.Set();
        }
    }
    if (!m_taskAvailable && m_task)
        m_taskAvailable = m_task->IsAvailable();
}

void CBaseEdgeStorageHandler::OnSignalLost(uint32_t) {
    m_channelLost.Set();
}

bool CBaseEdgeStorageHandler::CaptureFrameCallback(uint32_t channelNumber, ipcapture::IVideoFrame* frame) {
    std::lock_guard delivery(m_deliveryLock);
    ipcapture::IVideoChannelCallback* callback = nullptr;
    {
        std::lock_guard lock(m_lock);
        const auto entry = m_channels.find(channelNumber);
        if (entry != m_channels.end())
            callback = entry->second.callback;
    }
    if (!callback)
        return false;
    try {
        return callback->OnFrame(frame);
    } catch (...) {
        m_driver->DebugMessage(kErrorLevel, "%s: Unhandled exception during processing frame from device %s",
                               "talvex::CBaseEdgeStorageHandler::CaptureFrameCallback",
                               m_driver->GetDeviceTag().c_str());
        return false;
    }
}

void CBaseEdgeStorageHandler::StartEdgeStorageThreads() {
    std::lock_guard lock(m_threadLock);
    if (m_monitor.IsRunning())
        return;
    const bool started = m_queue.Start("Edge Storage: Video receiving thread - " + m_device.address) &&
                         m_monitor.StartThread("Edge Storage: Monitor thread - " + m_device.address);
    if (started)
        return;
    m_driver->DebugMessage(kErrorLevel, "%s: Unable to start Edge Storage threads for device %s",
                           "talvex::CBaseEdgeStorageHandler::StartEdgeStorageThreads",
                           m_driver->GetDeviceTag().c_str());
    m_queue.Stop(kThreadStopTimeoutMs);
    m_monitor.StopThread(kThreadStopTimeoutMs);
}

void CBaseEdgeStorageHandler::StopEdgeStorageThreads() {
    // The queue is told first, so that no further interval starts once the
    // task has been aborted.
    m_queue.GetStopEvent().Set();
    if (m_task)
        m_task->Abort();
    m_queue.Stop(kThreadStopTimeoutMs);
    m_monitor.StopThread(kThreadStopTimeoutMs);
}

void CBaseEdgeStorageHandler::RunMonitor(CEvent& stop) {
    EdgeChannelMap snapshot;
    for (;;) {
        CEvent* events[] = {&stop, &m_frameReported};
        if (CEvent::WaitAny(events, 2, CEvent::kInfinite) != 1)
            return;
        QueueMissedIntervals(snapshot);
        snapshot.clear();
        m_channelLost.Reset();
        if (!WaitForOutage(stop, snapshot))
            return;
        {
            std::lock_guard resume(m_resumeLock);
            m_resumeTime = 0;
        }
        // The first frame after the outage sets the resume time and wakes the watch again.
        m_frameReported.Reset();
    }
}

bool CBaseEdgeStorageHandler::WaitForOutage(CEvent& stop, EdgeChannelMap& snapshot) {
    const uint32_t silenceMs = m_device.secondTimeoutMs;
    for (;;) {
        CEvent* events[] = {&stop, &m_channelLost};
        if (CEvent::WaitAny(events, 2, std::max(silenceMs, kMinOutageWaitMs)) == 0)
            return false;
        EdgeChannelMap channels = CopyChannels();
        if (CEdgeOutageRules::IsOutage(channels, m_clock().Value(), silenceMs)) {
            snapshot = std::move(channels);
            return true;
        }
    }
}

void CBaseEdgeStorageHandler::QueueMissedIntervals(const EdgeChannelMap& snapshot) {
    uint64_t resumeTime = 0;
    {
        std::lock_guard resume(m_resumeLock);
        resumeTime = m_resumeTime;
    }
    for (const CEdgeStorageTaskItem& item :
         CEdgeOutageRules::MissedIntervals(snapshot, resumeTime, m_clock().Value()))
        QueueItem(item.GetChannel(), item.GetBegin(), item.GetEnd());
}

void CBaseEdgeStorageHandler::QueueItem(uint32_t channelNumber, uint64_t begin, uint64_t end) {
    std::unique_ptr<CEdgeStorageTaskItem> item = CEdgeStorageTaskItem::Make(channelNumber, begin, end);
    size_t dropped = 0;
    if (!item || !m_queue.PushLimited(std::move(item), m_queueLimit, dropped) || dropped == 0)
        return;
    m_driver->DebugMessage(kWarningLevel,
                           "%s: The work queue of device %s is full: %zu older time intervals were dropped",
                           "talvex::CBaseEdgeStorageHandler::QueueItem", m_driver->GetDeviceTag().c_str(), dropped);
}

void CBaseEdgeStorageHandler::QueuePostponed(uint32_t channelNumber) {
    std::lock_guard lock(m_postponedLock);
    const auto [first, last] = m_postponed.equal_range(channelNumber);
    for (auto interval = first; interval != last; ++interval)
        QueueItem(channelNumber, interval->second.first, interval->second.second);
    m_postponed.erase(first, last);
}

std::multimap<uint32_t, std::pair<uint64_t, uint64_t>> CBaseEdgeStorageHandler::GetPostponed() {
    std::lock_guard lock(m_postponedLock);
    return m_postponed;
}

EdgeChannelMap CBaseEdgeStorageHandler::CopyChannels() {
    std::lock_guard lock(m_lock);
    return m_channels;
}

bool CBaseEdgeStorageHandler::IsRegistered(uint32_t channelNumber) {
    std::lock_guard lock(m_lock);
    return m_channels.count(channelNumber) != 0;
}

void CBaseEdgeStorageHandler::LogWorkItem(const CEdgeStorageTaskItem& item, const char* stage) {
    m_driver->DebugMessage(kInformationLevel,
                           "talvex::CBaseEdgeStorageHandler: Work Item (address=\"%s\" channel=\"%u\" "
                           "begin_time=\"%s\" end_time=\"%s\") - Processing %s",
                           m_driver->GetDeviceTag().c_str(), item.GetChannel(), TimeText(item.GetBegin()).c_str(),
                           TimeText(item.GetEnd()).c_str(), stage);
}

void CBaseEdgeStorageHandler::ProcessEdgeStorageTaskItem(const CEdgeStorageTaskItem& item) {
    LogWorkItem(item, "started.");
    try {
        FetchInterval(item);
    } catch (...) {
        m_driver->DebugMessage(kErrorLevel,
                               "talvex::CBaseEdgeStorageHandler::ProcessEdgeStorageTaskItem: Exception occurs during "
                               "processing of time interval from %s to %s for channel %u of device %s...",
                               TimeText(item.GetBegin()).c_str(), TimeText(item.GetEnd()).c_str(),
                               item.GetChannel(), m_driver->GetDeviceTag().c_str());
    }
    LogWorkItem(item, "finished.");
}

void CBaseEdgeStorageHandler::FetchInterval(const CEdgeStorageTaskItem& item) {
    if (!m_task)
        return;
    const uint32_t number = item.GetChannel();
    m_task->Start(number, item.GetBegin(), item.GetEnd());
    uint64_t progress = item.GetBegin();
    uint32_t passesWithoutProgress = 0;
    // After a pass that did not finish, the next waits out kProcessWaitMs
    // even while live frames flow, so a camera that refuses is not hammered.
    bool pause = false;
    for (;;) {
        CEvent* events[] = {&m_queue.GetStopEvent(), &m_channelRemoved, &m_frameReported};
        const int fired = CEvent::WaitAny(events, pause ? 2 : 3, kProcessWaitMs);
        if (fired == 0) {
            m_driver->DebugMessage(kInformationLevel,
                                   "talvex::CBaseEdgeStorageHandler::ProcessEdgeStorageTaskItem: Video receiving "
                                   "thread for device %s was stopped.",
                                   m_driver->GetDeviceTag().c_str());
            return;
        }
        pause = false;
        if (fired == 2) {
            const uint64_t before = progress;
            if (m_task->Process(progress))
                return;
            passesWithoutProgress = progress > before ? 0 : passesWithoutProgress + 1;
            if (passesWithoutProgress >= kMaxPassesWithoutProgress) {
                m_driver->DebugMessage(kErrorLevel,
                                       "talvex::CBaseEdgeStorageHandler::ProcessEdgeStorageTaskItem: Time interval "
                                       "between %s and %s of channel %u of device %s is given up after %u attempts "
                                       "without progress",
                                       TimeText(progress).c_str(), TimeText(item.GetEnd()).c_str(), number,
                                       m_driver->GetDeviceTag().c_str(), passesWithoutProgress);
                return;
            }
            pause = true;
        }
        if (!IsRegistered(number)) {
            Postpone(number, progress, item.GetEnd());
            return;
        }
        // A channel that went and came back at once (the host restarted it)
        // had its task aborted: the task takes the interval up again.
        if (fired == 1 && !m_queue.GetStopEvent().Wait(0))
            m_task->Start(number, progress, item.GetEnd());
    }
}

void CBaseEdgeStorageHandler::Postpone(uint32_t channelNumber, uint64_t progress, uint64_t end) {
    m_driver->DebugMessage(kInformationLevel,
                           "talvex::CBaseEdgeStorageHandler::ProcessEdgeStorageTaskItem: The channel %u of device %s "
                           "was stopped. Time interval between %s and %s will be processed later...",
                           channelNumber, m_driver->GetDeviceTag().c_str(), TimeText(progress).c_str(),
                           TimeText(end).c_str());
    std::lock_guard lock(m_postponedLock);
    m_postponed.emplace(channelNumber, std::make_pair(progress, end));
}

} // namespace talvex

#include "settings/CBaseVideoSettingsManager.h"

#include "common/IDriver.h"
#include "common/StringFormat.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <new>
#include <exception>

namespace talvex {

namespace {

enum WaitIndex : int { kWaitStop = 0, kWaitCallerOrRequest = 1, kWaitItem = 2 };

} // namespace

CBaseVideoSettingsManager::CBaseVideoSettingsManager(IDriver* driver, uint32_t channelIndex)
    : CBaseThread(driver), m_driver(driver), m_channelIndex(channelIndex) {}

CBaseVideoSettingsManager::~CBaseVideoSettingsManager() {
    StopWorker();
}

bool CBaseVideoSettingsManager::StartWorker() {
    return StartThread(FormatString("Video Settings Manager thread (device %s, channel %u)",
                                    m_driver->GetDeviceTag().c_str(), m_channelIndex));
}

void CBaseVideoSettingsManager::StopWorker() {
    SignalAllWaiters(false);
    JoinThread(kJoinTimeoutMs);
}

bool CBaseVideoSettingsManager::SetStreamSettings(CEvent* callerStop, uint32_t codecType,
                                                  const VIDEO_STREAM_SETTINGS* wish) {
    if (wish)
        StoreWish(codecType, *wish);

    ItemPtr item(new (std::nothrow) USynchronizingItem);
    if (!item || !IsRunning() || GetStopEvent().Wait(0))
        return false;
    {
        CAutoLock lock(m_waitersLock);
        m_waiters.push_back(item);
        m_requestEvent.Set();
    }

    CEvent* events[3] = {&GetStopEvent(), callerStop, &item->event};
    uint32_t count = 3;
    if (!callerStop) {
        events[kWaitCallerOrRequest] = &item->event;
        count = 2;
    }
    const int fired = CEvent::WaitAny(events, count, kWaitForPassMs);
    return fired >= 0 && events[fired] == &item->event && item->result.load();
}

void CBaseVideoSettingsManager::StoreWish(uint32_t codecType, const VIDEO_STREAM_SETTINGS& wish) {
    CAutoLock lock(m_settingsLock);
    auto [it, inserted] = m_settings.try_emplace(wish.streamIndex, StoredWish{wish, codecType});
    if (!inserted) {
        if (it->second.settings == wish && it->second.codecType == codecType)
            return;
        it->second = StoredWish{wish, codecType};
    }
    if (m_pendingChanges < UINT8_MAX)
        ++m_pendingChanges;
}

void CBaseVideoSettingsManager::Reset(bool keepWishes) {
    if (!keepWishes) {
        CAutoLock lock(m_settingsLock);
        m_settings.clear();
    }
    OnReset(keepWishes);
}

uint16_t CBaseVideoSettingsManager::GetRTSPPort() {
    CAutoLock lock(m_portLock);
    return m_rtspPort;
}

void CBaseVideoSettingsManager::SetRTSPPort(uint16_t port) {
    CAutoLock lock(m_portLock);
    m_rtspPort = port;
}

CBaseVideoSettingsManager::StoredWish CBaseVideoSettingsManager::GetStoredSettings(int32_t streamIndex) {
    CAutoLock lock(m_settingsLock);
    auto it = m_settings.find(streamIndex);
    return it == m_settings.end() ? StoredWish{} : it->second;
}

void CBaseVideoSettingsManager::LogOnce(uint32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatStringV(format, args);
    va_end(args);
    CAutoLock lock(m_messageLock);
    if (text.empty() || text == m_lastMessage)
        return;
    m_lastMessage = std::move(text);
    m_driver->DebugMessage(level, "%s", m_lastMessage.c_str());
}

void CBaseVideoSettingsManager::SetPassFailure(std::string cause) {
    CAutoLock lock(m_messageLock);
    if (m_passFailure.empty())
        m_passFailure = std::move(cause);
}

std::string CBaseVideoSettingsManager::GetLastFailure() {
    CAutoLock lock(m_messageLock);
    return m_lastFailure;
}

void CBaseVideoSettingsManager::Renegotiate() {
    CAutoLock lock(m_settingsLock);
    m_pendingChanges = std::max<uint8_t>(m_pendingChanges, 1);
}

void CBaseVideoSettingsManager::ClearLastMessage() {
    CAutoLock lock(m_messageLock);
    m_lastMessage.clear();
}

void CBaseVideoSettingsManager::Run() {
    CEvent* events[2] = {&GetStopEvent(), &m_requestEvent};
    for (;;) {
        const int fired = CEvent::WaitAny(events, 2, kIdleWaitMs);
        if (fired == kWaitStop) {
            SignalAllWaiters(false);
            return;
        }
        if (fired != kWaitCallerOrRequest)
            continue;
        std::list<ItemPtr> taken;
        {
            CAutoLock lock(m_waitersLock);
            taken.swap(m_waiters);
        }
        if (taken.empty())
            continue;
        SignalItems(taken, RunPass());
    }
}

bool CBaseVideoSettingsManager::RunPass() {
    uint8_t pending;
    {
        CAutoLock lock(m_settingsLock);
        pending = m_pendingChanges;
    }
    bool succeeded = false;
    {
        CAutoLock lock(m_messageLock);
        m_passFailure.clear();
    }
    try {
        succeeded = Synchronize(pending != 0);
    } catch (const std::exception& error) {
        LogOnce(1, "talvex::CBaseVideoSettingsManager::Run: Settings pass for device %s, channel %u failed: %s",
                m_driver->GetDeviceTag().c_str(), m_channelIndex, error.what());
        SetPassFailure(error.what());
    }
    {
        CAutoLock lock(m_messageLock);
        m_lastFailure = succeeded ? std::string() : m_passFailure;
    }
    if (!succeeded)
        return false;
    ClearLastMessage();
    if (pending) {
        CAutoLock lock(m_settingsLock);
        m_pendingChanges = pending >= m_pendingChanges ? 0 : uint8_t(m_pendingChanges - pending);
    }
    return true;
}

void CBaseVideoSettingsManager::SignalAllWaiters(bool result) {
    CAutoLock lock(m_waitersLock);
    SignalItems(m_waiters, result);
}

void CBaseVideoSettingsManager::SignalItems(std::list<ItemPtr>& items, bool result) {
    for (ItemPtr& item : items) {
        item->result.store(result);
        item->event.Set();
    }
    items.clear();
}

} // namespace talvex

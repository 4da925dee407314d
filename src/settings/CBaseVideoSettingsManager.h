// The device-independent half of a video settings manager: the stored wishes
// of a channel's streams, the worker thread that brings the camera in line with
// them in one pass, and the hand-shake with the channels that wait for it.
#pragma once

#include "common/CBaseThread.h"
#include "common/CEvent.h"
#include "common/CRecursiveLock.h"
#include "common/TSmartPtr.h"
#include "settings/IVideoSettingsManager.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

namespace talvex {

class IDriver;

class CBaseVideoSettingsManager : public IVideoSettingsManager, public CBaseThread {
public:
    static constexpr uint32_t kWaitForPassMs = 60000;
    static constexpr uint32_t kIdleWaitMs = 5000;
    static constexpr uint32_t kJoinTimeoutMs = 5000;

    // One waiting caller: signalled with the result of the pass that served it.
    struct USynchronizingItem {
        CManualEvent event;
        std::atomic<bool> result{false};
    };

    struct StoredWish {
        VIDEO_STREAM_SETTINGS settings;
        uint32_t codecType = kStreamOff;
    };

    CBaseVideoSettingsManager(IDriver* driver, uint32_t channelIndex);
    ~CBaseVideoSettingsManager() override;

    bool SetStreamSettings(CEvent* callerStop, uint32_t codecType, const VIDEO_STREAM_SETTINGS* wish) override;
    void Reset(bool keepWishes) override;
    uint16_t GetRTSPPort() override;
    std::string GetLastFailure() override;
    void Renegotiate() override;

    uint32_t GetChannelIndex() const { return m_channelIndex; }

protected:
    // One device-specific pass; settingsChanged: a wish changed since the last
    // successful pass (or that pass failed).
    virtual bool Synchronize(bool settingsChanged) = 0;
    virtual void OnReset(bool keepWishes) = 0;

    // The worker runs the derived class's passes, so the most derived
    // constructor starts it and the most derived destructor stops it first.
    bool StartWorker();
    void StopWorker();

    // All fields zero when no wish is stored for the stream.
    StoredWish GetStoredSettings(int32_t streamIndex);
    // Logs a text unless it equals the last one logged through here.
    void LogOnce(uint32_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void ClearLastMessage();
    // The cause of the pass under way failing, for the channels that wait for it;
    // the first cause told in a pass is kept.
    void SetPassFailure(std::string cause);
    void SetRTSPPort(uint16_t port);

    IDriver* m_driver;
    // Guards the RTSP port and what derived classes read alongside it.
    CRecursiveLock m_portLock;

private:
    using ItemPtr = TSmartPtr<USynchronizingItem>;

    void Run() override;
    // Stores the wish; only a wish that differs from the stored one counts as a change.
    void StoreWish(uint32_t codecType, const VIDEO_STREAM_SETTINGS& wish);
    bool RunPass();
    void SignalAllWaiters(bool result);
    static void SignalItems(std::list<ItemPtr>& items, bool result);

    const uint32_t m_channelIndex;
    uint16_t m_rtspPort = 0;

    CRecursiveLock m_settingsLock;
    std::map<int32_t, StoredWish> m_settings;
    // Wishes stored since the last successful pass; saturates instead of
    // wrapping, so that 256 changes never read as none.
    uint8_t m_pendingChanges = 0;

    CEvent m_requestEvent{false};

    CRecursiveLock m_waitersLock;
    std::list<ItemPtr> m_waiters;

    CRecursiveLock m_messageLock;
    std::string m_lastMessage;
    std::string m_passFailure;
    std::string m_lastFailure;
};

} // namespace talvex

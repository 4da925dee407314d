// The process-wide time synchronisation service: one item per camera (by
// resolved address and port), shared by every driver object of that camera,
// and one thread that checks the items now and then. It exists while at least
// one camera is registered.
#pragma once

#include "common/CEvent.h"
#include "common/IDriver.h"
#include "common/TSmartPtr.h"
#include "timesync/CSonySynchroItem.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace talvex {

class CSonyTimeProvider {
public:
    static constexpr uint32_t kSyncIntervalSeconds = 3600; // least time between two checks of one camera
    static constexpr uint32_t kWakeIntervalSeconds = 150;  // period of the service thread

    // A new camera is checked at once; log tells the camera's trouble and
    // must stay valid until the matching Unregister. Answers the camera's
    // key, which Unregister takes: the name is resolved once, so a name that
    // later resolves otherwise, or not at all, cannot strand the item.
    static std::string Register(const DEVICE_INFO& device, IDebugMessage* log);
    // Harmless for a camera that is not registered.
    static void Unregister(const std::string& key, IDebugMessage* log);
    // Registrations held for the camera; 0 when none.
    static uint32_t RegistrationCount(const std::string& key);

    // "%.8x:%hu": the first IPv4 address of the host name as stored in
    // memory (0 when empty or unresolved), and the port.
    static std::string DeviceKey(const DEVICE_INFO& device);

    CSonyTimeProvider();
    ~CSonyTimeProvider();
    CSonyTimeProvider(const CSonyTimeProvider&) = delete;
    CSonyTimeProvider& operator=(const CSonyTimeProvider&) = delete;

private:
    struct Entry {
        TSmartPtr<CSonySynchroItem> item;
        uint16_t count = 0;
    };

    void Add(const std::string& key, const DEVICE_INFO& device, IDebugMessage* log);
    // True when no camera remains.
    bool Remove(const std::string& key, IDebugMessage* log);
    // False when the system cannot start one now.
    bool StartThread();
    void StopThread();
    void Run();
    void CheckItems();

    std::mutex m_lock; // guards m_items
    std::map<std::string, Entry> m_items;
    std::thread m_thread;
    CManualEvent m_stop;
    CEvent m_wake{false};
};

} // namespace talvex

// One camera whose clock the time provider keeps on the computer's UTC clock:
// at most once per sync interval it reads "GmTime" and sets the clock when it
// is off by more than the device's first time-out.
#pragma once

#include "common/CEvent.h"
#include "common/CTime.h"
#include "common/IDriver.h"
#include "http/CHttpSender.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace talvex {

class CSonySynchroItem {
public:
    CSonySynchroItem(const DEVICE_INFO& device, uint32_t syncIntervalSeconds);
    virtual ~CSonySynchroItem() = default;
    CSonySynchroItem(const CSonySynchroItem&) = delete;
    CSonySynchroItem& operator=(const CSonySynchroItem&) = delete;

    // One check; does nothing until the sync interval has passed since the
    // last successful one.
    void Check();
    // The item is being removed: a check in progress gives up its requests.
    void Deactivate();

    // Drivers registered for this camera, through which its trouble is told;
    // a log must be removed before its driver goes away.
    void AddLog(IDebugMessage* log);
    void RemoveLog(IDebugMessage* log);

private:
    // The answer body on status 200 (and 204 when allowed); false with the cause otherwise.
    bool Exchange(const Web::HttpRequest& request, bool allowNoContent, std::string& body, std::string& cause);
    bool SetCameraClock(bool ntpOn, std::string& cause);
    bool Post(const std::string& path, const std::string& body, std::string& cause);
    void Failed(const std::string& cause);
    void Succeeded();
    void Log(uint32_t level, const std::string& text);

    Web::CHttpSender m_http;
    const std::string m_deviceTag;
    std::atomic<bool> m_active{true};
    CManualEvent m_stop; // every wait of m_http ends when the item is removed
    const uint64_t m_maxDifference; // 100-ns units
    const uint64_t m_syncIntervalMs;
    CTime m_lastCheck;

    std::string m_lastCause; // of the last failed check; checks run on one thread

    std::mutex m_logLock; // guards the logs, held while logging
    std::vector<IDebugMessage*> m_logs;
};

} // namespace talvex

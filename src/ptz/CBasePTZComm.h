// The PTZ worker of one channel: host calls put small messages on a queue and
// return at once; one thread performs them in order (the device class says
// how). A new message removes the queued ones it supersedes, so a burst of
// joystick moves ends in the latest one and a stop never waits behind moves.
#pragma once

#include "common/CBaseThread.h"
#include "common/CEvent.h"
#include "common/CRecursiveLock.h"
#include "ptz/CPTZMessage.h"
#include "ptz/CPtzCapabilities.h"

#include <talvex/ipcapture/PTZ.h>

#include <cstdint>
#include <list>
#include <map>
#include <string>

namespace talvex {

class IDriver;

class CBasePTZComm : private CBaseThread {
public:
    CBasePTZComm(IDriver* driver, uint16_t channelIndex, const CPtzCapabilities& capabilities);
    ~CBasePTZComm() override;

    // Starts the worker; false (logged) when it cannot start.
    virtual bool Open();
    // Ends the worker and drops what is still queued.
    virtual void Close();
    virtual bool HasAnyCapability() const { return m_capabilities.HasAny(); }
    // Flags and maximum preset count; the current preset count stays 0.
    virtual int32_t GetCapabilities(ipcapture::PTZ_CAPABILITIES* record) const;
    virtual int32_t Iris(bool open, uint32_t speed);

    // Presets run in the caller's thread; indexes count from 0.
    virtual bool PresetSet(const std::string& name, uint32_t index) = 0;
    virtual bool PresetCall(const std::string& name, uint32_t index, uint32_t speed) = 0;
    virtual bool PresetClear(const std::string& name, uint32_t index) = 0;
    virtual bool ReadPresetList(std::map<uint32_t, std::string>& presets) = 0;

    // Removes the queued messages the new one supersedes, then appends it.
    bool Post(const CPTZMessage& message);
    size_t QueuedCount() const;
    const CPtzCapabilities& GetPtzCapabilities() const { return m_capabilities; }

protected:
    virtual void ProcessMessage(const CPTZMessage& message) = 0;
    virtual void OnThreadStart() {}

    CManualEvent& WorkerStopEvent() { return GetStopEvent(); }
    bool StopRequested() { return GetStopEvent().Wait(0); }
    // Signals the worker, drops the queue and joins within the limit.
    void CloseWorker(uint32_t timeoutMs);
    IDriver* GetDriver() const { return m_driver; }
    uint16_t GetChannelIndex() const { return m_channelIndex; }

private:
    void Run() override;
    bool TakeFirst(CPTZMessage& message);
    void DropQueue();
    static bool Supersedes(const CPTZMessage& added, const CPTZMessage& queued);

    mutable CRecursiveLock m_queueLock;
    std::list<CPTZMessage> m_queue;
    CEvent m_queueEvent{false};
    uint16_t m_channelIndex;
    CPtzCapabilities m_capabilities;
    IDriver* m_driver;
};

} // namespace talvex

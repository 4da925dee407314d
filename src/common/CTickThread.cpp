#include "common/CTickThread.h"

#include "common/IDriver.h"

#include <exception>

namespace talvex {

CTickThread::CTickThread(IDriver* owner, uint32_t periodMs) : CBaseThread(owner), m_periodMs(periodMs) {}

CTickThread::~CTickThread() { StopThread(5432); }

bool CTickThread::Start(const std::string& name, bool immediate) {
    m_immediate = immediate;
    return StartThread(name);
}

void CTickThread::Run() {
    if (m_immediate)
        TickGuarded();
    // The period runs from the end of one tick to the start of the next: no catch-up.
    while (!GetStopEvent().Wait(m_periodMs))
        TickGuarded();
}

// One failing tick must not end the periodic work.
void CTickThread::TickGuarded() {
    try {
        OnTick();
    } catch (const std::exception& error) {
        if (IDriver* owner = GetOwner())
            owner->DebugMessage(1, "talvex::CTickThread::Run: Tick of thread \"%s\" for device %s failed: %s",
                                GetName().c_str(), owner->GetDeviceTag().c_str(), error.what());
    } catch (...) {
        if (IDriver* owner = GetOwner())
            owner->DebugMessage(1, "talvex::CTickThread::Run: Tick of thread \"%s\" for device %s failed with an unknown exception",
                                GetName().c_str(), owner->GetDeviceTag().c_str());
    }
}

} // namespace talvex

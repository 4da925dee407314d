// The privacy step of a Sony channel. Masking is on for a channel when the
// host handed it a zone list and the driver's configuration file does not
// switch masking off for the device; the camera's masks are then set before
// the first stream of the start, and again on the next connect only when the
// camera could not be reached.
#pragma once

#include "common/CEvent.h"
#include "common/IDriver.h"
#include "privacy/CSonyPrivacyMaskingHandler.h"

#include <talvex/ipcapture/PrivacyZone.h>

#include <atomic>

namespace talvex {

class CChannelPrivacyStep {
public:
    // stop: the channel's stop event; the mask requests end on it.
    CChannelPrivacyStep(IDriver* driver, const CEvent& stop);

    // null leaves masking off.
    void SetZones(ipcapture::IPrivacyZoneList* zones);
    bool IsEnabled() const { return m_enabled; }
    // True when the masks are set, need not be, or the camera refused them
    // (the stream runs without); false when the camera was not reached.
    bool Apply();
    // Breaks a running mask request (from the stopping thread).
    void Interrupt() { m_handler.Reset(); }

private:
    CSonyPrivacyMaskingHandler m_handler;
    const bool m_allowedByConfiguration;
    std::atomic<bool> m_enabled{false};
    // Worker thread only.
    bool m_applied = false;
};

} // namespace talvex

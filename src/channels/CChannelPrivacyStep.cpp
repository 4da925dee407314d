#include "channels/CChannelPrivacyStep.h"

#include "common/ConfigFile.h"

namespace talvex {

CChannelPrivacyStep::CChannelPrivacyStep(IDriver* driver, const CEvent& stop)
    : m_handler(driver, stop),
      m_allowedByConfiguration(
          ReadVideoConfig(driver->GetDriverName(), driver->GetHostDirectory(), *driver->GetDeviceInfo())
              .privacyMasking) {}

void CChannelPrivacyStep::SetZones(ipcapture::IPrivacyZoneList* zones) {
    if (!zones || !m_allowedByConfiguration)
        return;
    m_handler.SetZones(zones);
    m_enabled = true;
}

bool CChannelPrivacyStep::Apply() {
    if (!m_enabled || m_applied)
        return true;
    m_applied = m_handler.Apply();
    return m_applied;
}

} // namespace talvex

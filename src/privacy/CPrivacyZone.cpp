#include "privacy/CPrivacyZone.h"

namespace talvex {

CPrivacyZone CPrivacyZone::CopyOf(ipcapture::IPrivacyZone& zone) {
    return CPrivacyZone(zone.GetIndex(), zone.GetLeft(), zone.GetTop(), zone.GetWidth(), zone.GetHeight());
}

} // namespace talvex

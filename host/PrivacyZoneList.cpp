#include "PrivacyZoneList.h"

namespace fennwick_host {

PrivacyZoneList::PrivacyZoneList(const std::vector<ZoneRect>& rects) {
    m_zones.reserve(rects.size());
    for (const ZoneRect& rect : rects)
        m_zones.emplace_back(int32_t(m_zones.size()), rect);
}

talvex::ipcapture::IPrivacyZone* PrivacyZoneList::GetZone(uint32_t index) {
    return index < m_zones.size() ? &m_zones[index] : nullptr;
}

} // namespace fennwick_host

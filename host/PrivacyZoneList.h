// The privacy zones of `record --privacy`, as the host hands them to a video
// channel: a list object whose slot 1 gives the zone at an index. Immutable
// once made, so any driver thread may read it.
#pragma once

#include <talvex/ipcapture/PrivacyZone.h>

#include <cstdint>
#include <vector>

namespace fennwick_host {

// One zone in percent of the picture: left and width of its width, top and height of its height.
struct ZoneRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool operator==(const ZoneRect&) const = default;
};

// The camera's masks are numbered from 1 in the order of the list.
class PrivacyZone : public talvex::ipcapture::IPrivacyZone {
public:
    PrivacyZone(int32_t index, ZoneRect rect) : m_index(index), m_rect(rect) {}

    int32_t GetKind() override { return kRectangle; }
    int32_t GetIndex() override { return m_index; }
    int32_t GetEnabled() override { return 1; }
    float GetLeft() override { return m_rect.left; }
    float GetTop() override { return m_rect.top; }
    float GetWidth() override { return m_rect.width; }
    float GetHeight() override { return m_rect.height; }

private:
    static constexpr int32_t kRectangle = 1;
    int32_t m_index;
    ZoneRect m_rect;
};

class PrivacyZoneList : public talvex::ipcapture::IPrivacyZoneList {
public:
    explicit PrivacyZoneList(const std::vector<ZoneRect>& rects);

    // Null past the end.
    talvex::ipcapture::IPrivacyZone* GetZone(uint32_t index) override;

private:
    std::vector<PrivacyZone> m_zones;
};

} // namespace fennwick_host

// Privacy zones the host asks the camera to mask. Coordinates are percentages
// (0 to 100) of the picture: left and width of its width, top and height of
// its height.
#pragma once

#include <cstdint>

namespace talvex::ipcapture {

class IPrivacyZone {
public:
    virtual ~IPrivacyZone() = default;      // slot 0
    virtual int32_t GetKind() = 0;          // slot 1: 1, a rectangle
    virtual int32_t GetIndex() = 0;         // slot 2: position in the host's list, from 0
    virtual int32_t GetEnabled() = 0;       // slot 3: 1
    virtual float GetLeft() = 0;            // slot 4: of the picture width
    virtual float GetTop() = 0;             // slot 5: of the picture height
    virtual float GetWidth() = 0;           // slot 6: of the picture width
    virtual float GetHeight() = 0;          // slot 7: of the picture height
};

// The host's zone list for one channel. The driver copies the zones at once and
// keeps neither the list nor a zone.
class IPrivacyZoneList {
public:
    virtual ~IPrivacyZoneList() = default;               // slot 0
    virtual IPrivacyZone* GetZone(uint32_t index) = 0;   // slot 1: the zone at index, null past the end
};

} // namespace talvex::ipcapture

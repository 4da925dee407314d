// One privacy zone; coordinates are percentages (0 to 100) of the picture.
#pragma once

#include <cstdint>

namespace talvex::ipcapture {

class IPrivacyZone {
public:
    virtual ~IPrivacyZone() = default;      // slot 0
    virtual int32_t GetKind() = 0;          // slot 1
    virtual int32_t GetIndex() = 0;         // slot 2: position in the host's list, from 0
    virtual int32_t GetEnabled() = 0;       // slot 3
    virtual float GetLeft() = 0;            // slot 4: of the picture width
    virtual float GetTop() = 0;             // slot 5: of the picture height
    virtual float GetWidth() = 0;           // slot 6
    virtual float GetHeight() = 0;          // slot 7
};

} // namespace talvex::ipcapture

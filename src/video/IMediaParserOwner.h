// What a media parser needs from the object that owns it: the log, the device
// record for log lines, and the host's frame allocator.
#pragma once

#include "common/IDriver.h"

#include <talvex/ipcapture/DeviceInfo.h>
#include <talvex/ipcapture/HostObjects.h>

namespace talvex {

class IMediaParserOwner {
public:
    virtual ~IMediaParserOwner() = default;
    virtual IDebugMessage& GetLogger() = 0;
    // Address and HTTP port of the camera, for log lines.
    virtual const DEVICE_INFO& GetDeviceInfo() = 0;
    // Null when the host gave no allocator.
    virtual ipcapture::IFrameAllocator* GetFrameAllocator() = 0;
};

} // namespace talvex

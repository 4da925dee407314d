// The service interface every channel, handler and manager of one device gets
// from its driver object: logging, the device record, the stored properties.
#pragma once

#include <talvex/ipcapture/DeviceInfo.h>
#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <string>
#include <utility>

namespace talvex {

class CPtzCapabilities;

class IDebugMessage {
public:
    virtual ~IDebugMessage() = default;
    // The device address, ":" and the HTTP port.
    virtual std::string GetDeviceTag() const = 0;
    // Levels: 1 error, 2 warning, 3 information, 4 never delivered, 100 the open notice.
    virtual void DebugMessage(uint32_t level, const char* format, ...) __attribute__((format(printf, 3, 4))) = 0;
};

class IDriver : public IDebugMessage {
public:
    virtual std::string GetDriverName() const = 0;
    // Directory of the host executable, trailing '/' included.
    virtual std::string GetHostDirectory() const = 0;
    virtual DEVICE_INFO* GetDeviceInfo() = 0;
    // Digital input count, then digital output count.
    virtual std::pair<uint32_t, uint32_t> GetIOCounts() const = 0;
    virtual ipcapture::IFrameAllocator* GetHostContext() const = 0;
    virtual uint32_t GetVideoStandard() const = 0;
    virtual uint32_t GetDefaultCodecType() const = 0;
    virtual uint32_t GetVideoChannelCount() const = 0;
    // Stored text of a device property; empty when absent or exactly "(none)".
    virtual std::string GetParameterText(uint32_t id) const = 0;
    // Stored text read as a signed decimal; kParameterMissing when absent or not a number.
    virtual int32_t GetParameterNumber(uint32_t id) const = 0;
    // What the device's PTZ can do (property 4, read at open); null for a
    // driver without PTZ, which then offers none.
    virtual const CPtzCapabilities* GetPtzCapabilities() const { return nullptr; }
    virtual std::pair<uint16_t, uint16_t> GetChannelPictureSize(uint32_t channelIndex) const = 0;
    virtual void* GetSpareObject() const = 0;

    static constexpr int32_t kParameterMissing = int32_t(0x80000000u);
};

} // namespace talvex

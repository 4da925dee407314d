// What a depacketiser needs from the channel it works for: a place to deliver
// finished frames, the configured picture size, a device label and the
// channel's media clock.
#pragma once

#include "common/CTime.h"

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <string>

namespace talvex {

class IMediaParserClient {
public:
    virtual ~IMediaParserClient() = default;
    // Hands a filled host frame to the host; false when the host refused it.
    virtual bool DeliverFrame(ipcapture::IVideoFrame* frame) = 0;
    // The picture size the channel was started with (0 x 0 when unknown).
    virtual void GetConfiguredSize(uint16_t& width, uint16_t& height) = 0;
    // The label used in log lines and as the allocation name of host frames.
    virtual void GetDeviceName(std::string& text) = 0;
    // The frame time of a 90 kHz RTP timestamp.
    virtual void ConvertTimestamp(uint32_t rtpTimestamp, CTime& time) = 0;
};

} // namespace talvex

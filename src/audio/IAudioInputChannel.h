// One running audio input channel (RTSP audio track or HTTP audio stream).
#pragma once

#include <cstdint>

namespace talvex {

class IAudioInputChannel {
public:
    virtual ~IAudioInputChannel() = default;
    virtual bool StartChannel() = 0;
    virtual bool StopChannel() = 0;
    // ipcapture::ChannelStatus
    virtual uint32_t GetStatus() = 0;
};

} // namespace talvex

// One audio output channel: host frames uploaded to the camera's loudspeaker.
#pragma once

#include <talvex/ipcapture/AudioCapture.h>

#include <cstdint>

namespace talvex {

class IAudioOutputChannel {
public:
    virtual ~IAudioOutputChannel() = default;
    virtual bool StartChannel() = 0;
    virtual bool StopChannel() = 0;
    // ipcapture::ChannelStatus
    virtual uint32_t GetStatus() = 0;
    virtual bool GetAudioFormat(ipcapture::IAudioFormat* format) = 0;
    // Queues the frame (true) or leaves it with the caller (false).
    virtual bool SendAudioFrame(ipcapture::IAudioFrame* frame) = 0;
};

} // namespace talvex

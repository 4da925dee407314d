// What the driver offers the audio objects: the channel of the device's kind
// for a host id. The arguments are the host's, passed on unchanged.
#pragma once

#include "audio/IAudioInputChannel.h"
#include "audio/IAudioOutputChannel.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <cstdint>

namespace talvex {

class IAudioChannelCreator {
public:
    virtual ~IAudioChannelCreator() = default;
    // Null when the channel cannot be made.
    virtual IAudioInputChannel* CreateAudioInputChannel(uint32_t id, uint32_t channel,
                                                        ipcapture::IAudioCaptureCallback* callback, void* context) = 0;
    virtual IAudioOutputChannel* CreateAudioOutputChannel(uint32_t id, uint32_t channel,
                                                          ipcapture::IAudioSenderCallback* callback,
                                                          ipcapture::IAudioFormatList* formats) = 0;
};

} // namespace talvex

// Consumer of the audio frames a frame assembler finishes (the channel, which
// forwards them to the host).
#pragma once

#include <talvex/ipcapture/HostObjects.h>

namespace talvex {

class IAudioParserCallback {
public:
    virtual ~IAudioParserCallback() = default;
    // True when the frame was taken; the assembler releases it either way.
    virtual bool OnAudioFrame(ipcapture::IAudioFrame* frame) = 0;
};

} // namespace talvex

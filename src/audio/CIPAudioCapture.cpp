#include "audio/CIPAudioCapture.h"

#include <exception>

namespace talvex {

bool CIPAudioCapture::StartChannel(uint32_t id, uint32_t channel, ipcapture::IAudioCaptureCallback* callback,
                                   void* context) {
    try {
        return m_channels.StartChannel(
            id, [&] { return m_creator->CreateAudioInputChannel(id, channel, callback, context); });
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace talvex

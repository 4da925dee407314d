#include "audio/CIPAudioSender.h"

#include <exception>

namespace talvex {

bool CIPAudioSender::StartChannel(uint32_t id, uint32_t channel, ipcapture::IAudioSenderCallback* callback,
                                  ipcapture::IAudioFormatList* formats) {
    try {
        return m_channels.StartChannel(
            id, [&] { return m_creator->CreateAudioOutputChannel(id, channel, callback, formats); });
    } catch (const std::exception&) {
        return false;
    }
}

bool CIPAudioSender::SendAudio(ipcapture::IAudioFrame* frame) {
    if (!frame)
        return false;
    try {
        const std::shared_ptr<IAudioOutputChannel> channel = m_channels.Find(frame->GetChannelNumber());
        return channel && channel->SendAudioFrame(frame);
    } catch (const std::exception&) {
        // No room for the queue item: the frame stays with the host.
        return false;
    }
}

bool CIPAudioSender::GetAudioFormat(uint32_t id, ipcapture::IAudioFormat* format) {
    CAutoLock lock(m_channels.GetLock());
    const std::shared_ptr<IAudioOutputChannel> channel = m_channels.Find(id);
    return channel && format && channel->GetAudioFormat(format);
}

} // namespace talvex

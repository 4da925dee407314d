// The driver's audio output object the host drives (slot 11 of the driver):
// up to a fixed number of output channels, keyed by the host's id.
#pragma once

#include "audio/IAudioChannelCreator.h"
#include "audio/TAudioChannelTable.h"

#include <talvex/ipcapture/AudioCapture.h>

namespace talvex {

class CIPAudioSender : public ipcapture::IIPAudioSender {
public:
    CIPAudioSender(IAudioChannelCreator* creator, uint32_t channelLimit) : m_creator(creator), m_channels(channelLimit) {}

    uint32_t GetChannelCount() override { return m_channels.GetChannelCount(); }
    bool StartChannel(uint32_t id, uint32_t channel, ipcapture::IAudioSenderCallback* callback,
                      ipcapture::IAudioFormatList* formats) override;
    bool StopChannel(uint32_t id) override { return m_channels.StopChannel(id); }
    // The frame's channel number names the channel; the frame is handed over
    // after the lock is left.
    bool SendAudio(ipcapture::IAudioFrame* frame) override;
    bool GetAudioFormat(uint32_t id, ipcapture::IAudioFormat* format) override;
    uint32_t GetChannelStatus(uint32_t id) override { return m_channels.GetChannelStatus(id); }
    bool SetChannelProperty(uint32_t, const char*, uint32_t) override { return false; }
    bool GetChannelProperty(uint32_t, const char*, uint32_t*) override { return false; }

private:
    IAudioChannelCreator* m_creator;
    TAudioChannelTable<IAudioOutputChannel> m_channels;
};

} // namespace talvex

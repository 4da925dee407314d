// The driver's audio input object the host drives (slot 10 of the driver):
// up to a fixed number of running input channels, keyed by the host's id.
#pragma once

#include "audio/IAudioChannelCreator.h"
#include "audio/TAudioChannelTable.h"

#include <talvex/ipcapture/AudioCapture.h>

namespace talvex {

class CIPAudioCapture : public ipcapture::IIPAudioCapture2 {
public:
    CIPAudioCapture(IAudioChannelCreator* creator, uint32_t channelLimit)
        : m_creator(creator), m_channels(channelLimit) {}

    uint32_t GetChannelCount() override { return m_channels.GetChannelCount(); }
    bool StartChannel(uint32_t id, uint32_t channel, ipcapture::IAudioCaptureCallback* callback, void* context) override;
    bool StopChannel(uint32_t id) override { return m_channels.StopChannel(id); }
    uint32_t GetChannelStatus(uint32_t id) override { return m_channels.GetChannelStatus(id); }
    bool SetChannelProperty(uint32_t, const char*, uint32_t) override { return false; }
    bool GetChannelProperty(uint32_t, const char*, uint32_t*) override { return false; }

private:
    IAudioChannelCreator* m_creator;
    TAudioChannelTable<IAudioInputChannel> m_channels;
};

} // namespace talvex

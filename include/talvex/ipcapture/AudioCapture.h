// Audio input and output channels of one device, as the host drives them.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>

namespace talvex::ipcapture {

// Host objects of the audio side; their slots are declared with the audio channels.
class IAudioCaptureCallback;
class IAudioSenderCallback;
class IAudioFormatList;
class IAudioFormat;

// Audio input. Channels are keyed by a host-chosen id.
class IIPAudioCapture2 {
public:
    virtual ~IIPAudioCapture2() = default;                                                  // slot 0
    // Number of channels now running.
    virtual uint32_t GetChannelCount() = 0;                                                 // slot 1
    // True at once when the id already runs.
    virtual bool StartChannel(uint32_t id, uint32_t channel, IAudioCaptureCallback* callback,
                              void* context) = 0;                                            // slot 2
    virtual bool StopChannel(uint32_t id) = 0;                                              // slot 3
    // Channel status: 0 stopped, 1 starting, 2 running, 3 stopping, 4 failed, 5 signal lost.
    virtual uint32_t GetChannelStatus(uint32_t id) = 0;                                     // slot 4
    // Optional operations; this driver answers false.
    virtual bool SetChannelProperty(uint32_t id, const char* name, uint32_t value) = 0;    // slot 5
    virtual bool GetChannelProperty(uint32_t id, const char* name, uint32_t* value) = 0;   // slot 6
};

// Audio output: frames the host sends are uploaded to the camera.
class IIPAudioSender {
public:
    virtual ~IIPAudioSender() = default;                                                    // slot 0
    virtual uint32_t GetChannelCount() = 0;                                                 // slot 1
    virtual bool StartChannel(uint32_t id, uint32_t channel, IAudioSenderCallback* callback,
                              IAudioFormatList* formats) = 0;                                // slot 2
    virtual bool StopChannel(uint32_t id) = 0;                                              // slot 3
    // The frame names its own channel (its 8-bit channel number).
    virtual bool SendAudio(IAudioFrame* frame) = 0;                                         // slot 4
    virtual bool GetAudioFormat(uint32_t id, IAudioFormat* format) = 0;                     // slot 5
    virtual uint32_t GetChannelStatus(uint32_t id) = 0;                                     // slot 6
    // Optional operations; this driver answers false.
    virtual bool SetChannelProperty(uint32_t id, const char* name, uint32_t value) = 0;    // slot 7
    virtual bool GetChannelProperty(uint32_t id, const char* name, uint32_t* value) = 0;   // slot 8
};

} // namespace talvex::ipcapture

// Audio input and output channels of one device, as the host drives them.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>

namespace talvex::ipcapture {

// Audio channel status as the host sees it.
enum ChannelStatus : uint32_t {
    ChannelStopped = 0,
    ChannelStarting = 1,
    ChannelRunning = 2,
    ChannelStopping = 3,
    ChannelFailed = 4,
    ChannelSignalLost = 5,
};

// Host callback of one audio input channel. Frames come from the host's
// allocator (IFrameAllocator::AllocAudio) and go back to it after this call,
// whatever it answered; the callback must copy what it keeps.
class IAudioCaptureCallback {
public:
    virtual ~IAudioCaptureCallback() = default;                                             // slot 0
    // True when the host took the frame.
    virtual bool OnAudioFrame(IAudioFrame* frame) = 0;                                      // slot 1
    // Every accepted status change of channel id.
    virtual void OnStatusChanged(uint32_t id, uint32_t status) = 0;                         // slot 2
};

// Host callback of one audio output channel.
class IAudioSenderCallback {
public:
    virtual ~IAudioSenderCallback() = default;                                              // slot 0
    virtual void OnStatusChanged(uint32_t id, uint32_t status) = 0;                         // slot 1
};

// One audio format: an entry of the host's offered list, or the object the
// driver fills with a channel's format (GetAudioFormat).
class IAudioFormat {
public:
    virtual ~IAudioFormat() = default;                                                      // slot 0
    // Whether the host can produce this format.
    virtual bool IsUsable() const = 0;                                                      // slot 1
    virtual uint32_t GetCodec() const = 0;                                                  // slot 2: fourcc
    virtual void SetCodec(uint32_t fourcc) = 0;                                             // slot 3
    virtual void SetSamplesPerSecond(uint32_t samplesPerSecond) = 0;                        // slot 4
    virtual void SetBitRate(uint32_t bitRate) = 0;                                          // slot 5
    virtual void SetStereo(bool isStereo) = 0;                                              // slot 6
    virtual uint32_t GetSamplesPerSecond() const = 0;                                       // slot 7
    virtual uint32_t GetBitRate() const = 0;                                                // slot 8
    virtual bool IsStereo() const = 0;                                                      // slot 9
};

// The output formats the host offers a channel, walked by index.
class IAudioFormatList {
public:
    virtual ~IAudioFormatList() = default;                                                  // slot 0
    virtual uint32_t GetCount() const = 0;                                                  // slot 1
    // Null for an index at or beyond GetCount().
    virtual IAudioFormat* GetFormat(uint32_t index) = 0;                                    // slot 2
};

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
    // The frame names its own channel (its 8-bit channel number). The frame
    // comes from the host's allocator; once accepted (true) the driver hands it
    // back through IFrameAllocator::ReleaseAudio, sent or not. A refused frame
    // stays with the caller.
    virtual bool SendAudio(IAudioFrame* frame) = 0;                                         // slot 4
    // Fills format with the channel's codec, rate, bit rate and stereo flag;
    // frames given to SendAudio must match it.
    virtual bool GetAudioFormat(uint32_t id, IAudioFormat* format) = 0;                     // slot 5
    virtual uint32_t GetChannelStatus(uint32_t id) = 0;                                     // slot 6
    // Optional operations; this driver answers false.
    virtual bool SetChannelProperty(uint32_t id, const char* name, uint32_t value) = 0;    // slot 7
    virtual bool GetChannelProperty(uint32_t id, const char* name, uint32_t* value) = 0;   // slot 8
};

} // namespace talvex::ipcapture

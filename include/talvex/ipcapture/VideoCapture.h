// The video side of one device as the host drives it. One single-inheritance
// chain; each version only appends slots, and the host calls them by position.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>

namespace talvex::ipcapture {

class IIPVideoCapture {
public:
    virtual ~IIPVideoCapture() = default;                                                   // slot 0
    virtual uint32_t GetChannelCount() = 0;                                                 // slot 1
    virtual bool StartChannel(uint32_t channelIndex, IVideoChannelCallback* channelCallback,
                              IVideoChannelSettings* settings) = 0;                          // slot 2
    // True when anything was running.
    virtual bool StopChannel(uint32_t channelIndex) = 0;                                    // slot 3
    // Restarts the recording channel with a new picture size; value is the first start word.
    virtual bool UpdateChannel(uint32_t channelIndex, IVideoSizeSource* sizeSource, uint32_t value) = 0; // slot 4
    // Optional channel command; this driver answers false.
    virtual bool SendChannelCommand(uint32_t channelIndex, uint32_t command) = 0;           // slot 5
    virtual bool GetChannelStatus(uint32_t channelIndex, uint32_t* status, uint32_t* extra, char* text,
                                  uint32_t textSize) = 0;                                    // slot 6
    // Known property: "EdgeStorageState", type 2 (a 16-bit integer).
    virtual bool SetProperty(const char* name, const void* value, uint32_t type) = 0;      // slot 7
    virtual bool GetProperty(const char* name, void* value, uint32_t type) = 0;            // slot 8
};

class IIPVideoCaptureEx : public IIPVideoCapture {
public:
    virtual bool ResumeChannel(uint32_t channelIndex) = 0;   // slot 9
    virtual bool SuspendChannel(uint32_t channelIndex) = 0;  // slot 10
};

class IIPVideoCaptureEx2 : public IIPVideoCaptureEx {
public:
    // streamIndex: 0 recording, 1 live, 2 remote, 3 the fourth stream.
    virtual bool StartStream(uint32_t channelIndex, uint32_t streamIndex, IVideoChannelCallback* channelCallback,
                             IVideoChannelSettings* settings) = 0;                           // slot 11
    virtual bool StopStream(uint32_t channelIndex, uint32_t streamIndex) = 0;               // slot 12
};

} // namespace talvex::ipcapture

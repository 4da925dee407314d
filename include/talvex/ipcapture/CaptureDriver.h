// The driver object the host creates per device. One single-inheritance chain;
// each version only appends slots, and the host calls them by position, so a
// pointer to the newest version serves as every older one.
#pragma once

#include <talvex/ipcapture/AudioCapture.h>
#include <talvex/ipcapture/CaptureIO.h>
#include <talvex/ipcapture/DebugInfo.h>
#include <talvex/ipcapture/HostObjects.h>
#include <talvex/ipcapture/PTZ.h>
#include <talvex/ipcapture/VideoCapture.h>

namespace talvex::ipcapture {

class IIPCaptureDriver {
public:
    virtual ~IIPCaptureDriver() = default;                                                 // slot 0
    // sink receives every log line; hostContext is the host's frame allocator.
    // The settings objects are only used during the call.
    virtual bool Open(IHostDebugSink* sink, IFrameAllocator* hostContext, IDeviceSettings* settings) = 0; // slot 1
    virtual void Close() = 0;                                                              // slot 2
    // Getters return objects the driver owns, valid until Close; null when absent.
    virtual IIPVideoCapture* GetVideoCapture() = 0;                                        // slot 3
    virtual ICaptureIOApi* GetDigitalIO() = 0;                                             // slot 4
};

class IIPCaptureDriverEx : public IIPCaptureDriver {
public:
    // Optional component some drivers offer; null in this driver.
    virtual void* GetOptionalComponent() = 0;                                              // slot 5
    virtual IIPPTZDriver* GetPTZDriver() = 0;                                              // slot 6
};

class IIPCaptureDriverEx2 : public IIPCaptureDriverEx {
public:
    // Second optional component; null in this driver.
    virtual void* GetOptionalComponentEx() = 0;                                            // slot 7
    virtual IIPVideoCaptureEx* GetVideoCaptureEx() = 0;                                    // slot 8
};

class IIPCaptureDriverEx3 : public IIPCaptureDriverEx2 {
public:
    virtual IIPPTZDriverEx* GetPTZDriverEx() = 0;                                          // slot 9
};

class IIPCaptureDriverEx4 : public IIPCaptureDriverEx3 {
public:
    virtual IIPAudioCapture2* GetAudioCapture() = 0;                                       // slot 10
    virtual IIPAudioSender* GetAudioSender() = 0;                                          // slot 11
};

class IIPCaptureDriverEx5 : public IIPCaptureDriverEx4 {
public:
    virtual IIPVideoCaptureEx2* GetVideoCaptureEx2() = 0;                                  // slot 12
};

} // namespace talvex::ipcapture

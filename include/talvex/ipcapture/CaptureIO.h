// Digital inputs and outputs of one device. States: 0 none yet, 1 off, 2 on.
#pragma once

#include <cstdint>

namespace talvex::ipcapture {

// Host object: told about input changes and failures of the camera's I/O.
class ICaptureIOCallback {
public:
    virtual ~ICaptureIOCallback() = default;                              // slot 0
    virtual void OnInputChanged(uint32_t inputIndex, uint32_t state) = 0; // slot 1
    virtual void OnFailure() = 0;                                         // slot 2
};

class ICaptureIOApi {
public:
    virtual ~ICaptureIOApi() = default;                                   // slot 0
    // False for a null callback.
    virtual bool SetCallback(ICaptureIOCallback* callback) = 0;           // slot 1
    virtual void StartIO() = 0;                                           // slot 2
    virtual void StopIO() = 0;                                            // slot 3
    virtual uint32_t GetInputCount() = 0;                                 // slot 4
    virtual uint32_t GetOutputCount() = 0;                                // slot 5
    // Queued and carried out by a worker.
    virtual bool SetOutput(uint32_t outputIndex, uint32_t state) = 0;     // slot 6
};

} // namespace talvex::ipcapture

// A device channel's motion detection as the video capture object drives it
// and the edge storage handler watches it (the three operations of
// IEdgeMonitorChannel come first).
#pragma once

#include "channels/ICameraChannel.h"

namespace talvex {

class IMotionChannel : public IEdgeMonitorChannel {
public:
    // Starts the worker; false when it could not be started.
    virtual bool Start() = 0;
    // Ends a blocked read and waits for the worker.
    virtual void Stop() = 0;
    // True while the host takes the channel's motion frames.
    virtual bool IsSignalOk() const = 0;
    // Closes the current camera request, which ends a blocked read.
    virtual void AbortRequest() = 0;
};

} // namespace talvex

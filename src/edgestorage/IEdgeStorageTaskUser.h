// Where a task hands the recorded frames it fetched: the handler, which passes
// them to the channel's own host callback.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>

namespace talvex {

class IEdgeStorageTaskUser {
public:
    virtual ~IEdgeStorageTaskUser() = default;
    // True when the host took the frame.
    virtual bool CaptureFrameCallback(uint32_t channel, ipcapture::IVideoFrame* frame) = 0;
};

} // namespace talvex

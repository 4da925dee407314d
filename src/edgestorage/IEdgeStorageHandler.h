// What the video capture object registers its channels with when the host has
// switched edge storage on: the kind-0 video channel and its motion channel of
// every started channel index.
#pragma once

#include "channels/ICameraChannel.h"

namespace talvex {

class IEdgeStorageHandler {
public:
    virtual ~IEdgeStorageHandler() = default;
    // Counted per channel number: the same number added twice needs two removals.
    virtual void AddChannel(IEdgeMonitorChannel* channel) = 0;
    virtual void RemoveChannel(IEdgeMonitorChannel* channel) = 0;
};

} // namespace talvex

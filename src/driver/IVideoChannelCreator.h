// The driver's factory of video channels, as the video capture object uses it.
#pragma once

#include "channels/ICameraChannel.h"
#include "edgestorage/IEdgeStorageHandler.h"
#include "events/IMotionChannel.h"

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>

namespace talvex {

class IVideoChannelCreator {
public:
    virtual ~IVideoChannelCreator() = default;
    // Null for a null callback or a codec the device cannot stream; the caller owns the channel.
    virtual ICameraChannel* CreateVideoChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback,
                                               uint32_t codecType) = 0;
    // The channel's motion detection; null when the device or the host cannot
    // have it. The caller owns the channel.
    virtual IMotionChannel* CreateMotionChannel(uint32_t, ipcapture::IVideoChannelCallback*) { return nullptr; }
    // The handler that fills outages from the camera's own recordings; null
    // when the device has none. The caller owns it.
    virtual IEdgeStorageHandler* CreateEdgeStorageHandler() { return nullptr; }
};

} // namespace talvex

// The host-side view of one video stream of a device, as the video capture
// object and the edge storage handler use it.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <utility>

namespace talvex {

// Which of a channel's streams a channel serves.
enum ChannelKind : uint32_t {
    kRecordingChannel = 0,
    kLiveChannel = 1,
    kRemoteChannel = 2,
};

enum ChannelState : uint32_t {
    kChannelStreaming = 0,
    kChannelSignalLost = 2,
    kChannelStopped = 3,
    // The worker did not end within its limit when asked to stop.
    kChannelNotStopped = 4,
};

// What the host's start call hands to a channel.
struct ChannelStartParameters {
    uint32_t firstValue = 0;  // frame interval in ms (or a marked frame rate), 0 when not given
    uint32_t secondValue = 0; // quality 1..100, 0 when not given
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t kind = kRecordingChannel;
};

// Told about every frame time and every signal loss of the channels it watches.
class IEdgeStorageCallback {
public:
    virtual ~IEdgeStorageCallback() = default;
    // time: 100-ns units since 1601 UTC.
    virtual void OnFrameTime(uint32_t channelIndex, uint64_t time) = 0;
    virtual void OnSignalLost(uint32_t channelIndex) = 0;
};

class IEdgeMonitorChannel {
public:
    virtual ~IEdgeMonitorChannel() = default;
    virtual uint32_t GetChannel() const = 0;
    virtual ipcapture::IVideoChannelCallback* GetCallback() const = 0;
    // Not owned; null detaches.
    virtual void SetEdgeMonitor(IEdgeStorageCallback* callback) = 0;
};

class ICameraChannel : public IEdgeMonitorChannel {
public:
    virtual void SetPictureSize(uint16_t width, uint16_t height) = 0;
    // The channel option of the host's channel settings.
    virtual void SetChannelOption(uint32_t option) = 0;
    // The host's privacy zones for the channel (null: masking off). Copied at
    // once; channels without a privacy step take none.
    virtual void SetPrivacyZones(ipcapture::IPrivacyZoneList*) {}
    virtual bool Start(const ChannelStartParameters& parameters) = 0;
    virtual void Stop() = 0;
    virtual bool Restart(const ChannelStartParameters& parameters) = 0;
    virtual bool Suspend() = 0;
    virtual bool Resume() = 0;
    virtual uint32_t GetState() = 0;
    // Width, height.
    virtual std::pair<uint16_t, uint16_t> GetPictureSize() = 0;
};

} // namespace talvex

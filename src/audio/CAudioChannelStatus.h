// The status of one audio channel as the host sees it. A channel moves only
// along the edges of its direction's table; any other change is ignored, and
// every accepted change is reported to the host at once.
#pragma once

#include <talvex/ipcapture/AudioCapture.h>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

namespace talvex {

// Per status, a bit for every status it may change to.
using AudioStatusEdges = std::array<uint8_t, 6>;

constexpr uint8_t StatusBit(uint32_t status) { return uint8_t(1u << status); }

// Input: a failed channel (4) only ever stops; signal lost retries or stops.
inline constexpr AudioStatusEdges kInputStatusEdges = {
    StatusBit(ipcapture::ChannelStarting),
    StatusBit(ipcapture::ChannelRunning) | StatusBit(ipcapture::ChannelStopping) | StatusBit(ipcapture::ChannelSignalLost),
    StatusBit(ipcapture::ChannelStopping) | StatusBit(ipcapture::ChannelSignalLost),
    StatusBit(ipcapture::ChannelStopped),
    StatusBit(ipcapture::ChannelStopped),
    StatusBit(ipcapture::ChannelStarting) | StatusBit(ipcapture::ChannelStopping),
};

// Output: as input, and a channel without a usable host format fails (4).
inline constexpr AudioStatusEdges kOutputStatusEdges = {
    StatusBit(ipcapture::ChannelStarting),
    StatusBit(ipcapture::ChannelRunning) | StatusBit(ipcapture::ChannelStopping) | StatusBit(ipcapture::ChannelFailed) |
        StatusBit(ipcapture::ChannelSignalLost),
    StatusBit(ipcapture::ChannelStopping) | StatusBit(ipcapture::ChannelFailed) | StatusBit(ipcapture::ChannelSignalLost),
    StatusBit(ipcapture::ChannelStopped) | StatusBit(ipcapture::ChannelFailed),
    StatusBit(ipcapture::ChannelStopped),
    StatusBit(ipcapture::ChannelStarting) | StatusBit(ipcapture::ChannelStopping),
};

class CAudioChannelStatus {
public:
    using Reporter = std::function<void(uint32_t status)>;

    CAudioChannelStatus(const AudioStatusEdges& edges, Reporter report) : m_edges(edges), m_report(std::move(report)) {}

    // True when the change was allowed (and reported, outside the lock).
    bool Set(uint32_t status);
    uint32_t Get() const;

private:
    const AudioStatusEdges& m_edges;
    const Reporter m_report;
    mutable std::mutex m_lock;
    uint32_t m_status = ipcapture::ChannelStopped;
};

} // namespace talvex

// When the channels of a device count as cut off, and which interval each of
// them missed: pure rules over the frame times the channels reported, so that
// they are checked without threads or clocks.
#pragma once

#include "edgestorage/CEdgeStorageTaskItem.h"

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <map>
#include <vector>

namespace talvex {

struct EdgeChannelRecord {
    ipcapture::IVideoChannelCallback* callback = nullptr;
    uint32_t registrations = 0;
    uint64_t lastFrameTime = 0; // 100-ns units since 1601 UTC, 0 before the first frame
};

// Channel number to its record.
using EdgeChannelMap = std::map<uint32_t, EdgeChannelRecord>;

class CEdgeOutageRules {
public:
    static constexpr uint64_t kUnitsPerMs = 10000;

    // The newest last frame time of all channels; 0 when none has had a frame.
    static uint64_t NewestFrameTime(const EdgeChannelMap& channels);
    // Every channel has been silent for longer than silenceMs at now (and one
    // of them had a frame before).
    static bool IsOutage(const EdgeChannelMap& channels, uint64_t now, uint32_t silenceMs);
    // The missed interval of every channel of the snapshot taken at the
    // outage: from its last frame to the first frame after the outage
    // (resumeTime), or to now when none has come. Channels that never had a
    // frame, or whose last frame is not before that end, missed nothing.
    static std::vector<CEdgeStorageTaskItem> MissedIntervals(const EdgeChannelMap& snapshot, uint64_t resumeTime,
                                                             uint64_t now);
};

} // namespace talvex

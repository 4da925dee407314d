#include "edgestorage/CEdgeOutageRules.h"

#include <algorithm>

namespace talvex {

uint64_t CEdgeOutageRules::NewestFrameTime(const EdgeChannelMap& channels) {
    uint64_t newest = 0;
    for (const auto& [number, record] : channels)
        newest = std::max(newest, record.lastFrameTime);
    return newest;
}

bool CEdgeOutageRules::IsOutage(const EdgeChannelMap& channels, uint64_t now, uint32_t silenceMs) {
    const uint64_t newest = NewestFrameTime(channels);
    return newest != 0 && now > newest && now - newest > uint64_t(silenceMs) * kUnitsPerMs;
}

std::vector<CEdgeStorageTaskItem> CEdgeOutageRules::MissedIntervals(const EdgeChannelMap& snapshot,
                                                                    uint64_t resumeTime, uint64_t now) {
    const uint64_t end = resumeTime != 0 ? resumeTime : now;
    std::vector<CEdgeStorageTaskItem> items;
    for (const auto& [number, record] : snapshot)
        if (const auto item = CEdgeStorageTaskItem::Make(number, record.lastFrameTime, end))
            items.push_back(*item);
    return items;
}

} // namespace talvex

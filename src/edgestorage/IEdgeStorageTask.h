// The device-specific fetch of one missed interval of one channel from the
// camera's own storage. One task serves every channel of a device, one
// interval at a time, on the handler's video receiving thread.
#pragma once

#include <cstdint>

namespace talvex {

class IEdgeStorageTask {
public:
    virtual ~IEdgeStorageTask() = default;
    // Times: 100-ns units since 1601 UTC.
    virtual void Start(uint32_t channel, uint64_t begin, uint64_t end) = 0;
    // Fetches from progress on; progress comes back as the time of the last
    // frame passed on. True when the interval is done.
    virtual bool Process(uint64_t& progress) = 0;
    // Aborts when the task works for that channel.
    virtual void StopChannel(uint32_t channel) = 0;
    // May come from any thread: ends a blocked request or replay.
    virtual void Abort() = 0;
    virtual bool IsAvailable() = 0;
};

} // namespace talvex

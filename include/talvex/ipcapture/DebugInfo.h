// Log messages from the driver to the host's debug sink.
#pragma once

#include <cstdint>

namespace talvex {

// Levels: 1 error, 2 warning, 3 information, 100 the "DRIVER IS OPENED" notice.
class CDebugInfoIf {
public:
    virtual ~CDebugInfoIf() = default;
    virtual uint8_t GetLevel() const = 0;
    virtual const char* GetText() const = 0; // null for an empty message
};

namespace ipcapture {

// Host object. The message object is valid only during the call; the sink is
// called from any driver thread and must be callable concurrently.
class IHostDebugSink {
public:
    virtual ~IHostDebugSink() = default;
    virtual void Message(const CDebugInfoIf* info) = 0;
};

} // namespace ipcapture
} // namespace talvex

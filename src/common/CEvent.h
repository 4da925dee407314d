// Kernel-style events on eventfd: manual or auto reset, waitable together with
// sockets through poll.
#pragma once

#include <atomic>
#include <cstdint>

namespace talvex {

class CEvent {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    // manualReset: stays signalled until Reset; otherwise one successful wait consumes it.
    explicit CEvent(bool manualReset);
    virtual ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    bool Set();
    bool Reset();
    // True when signalled within the time-out; false on time-out or failure.
    bool Wait(uint32_t timeoutMs);
    bool IsManualReset() const { return m_manualReset; }
    // The eventfd: readable while the event is signalled (poll it, never read it).
    int GetNativeHandle() const { return m_fd; }

    // Index of the event that fired, -1 on time-out, failure or a null array.
    static int WaitAny(CEvent* const* events, uint32_t count, uint32_t timeoutMs);
    // Waits until fd reports one of pollEvents or stop is signalled.
    // 1: fd ready, 0: stop signalled, -1: time-out or failure.
    static int WaitForFd(int fd, short pollEvents, CEvent& stop, uint32_t timeoutMs);

private:
    bool TryConsume();

    int m_fd = -1;
    bool m_manualReset;
    // Manual-reset events only: true while the eventfd holds a signal, so a
    // Set of a signalled event (once per packet or frame on the live path)
    // costs no system call. Reset reads the eventfd before clearing it.
    std::atomic<bool> m_signalled{false};
};

class CManualEvent : public CEvent {
public:
    CManualEvent() : CEvent(true) {}
};

} // namespace talvex

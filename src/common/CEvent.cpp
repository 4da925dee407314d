#include "common/CEvent.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <span>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace talvex {

namespace {

using Clock = std::chrono::steady_clock;

// Remaining time of a bounded wait in poll's terms (-1 waits without limit).
class Deadline {
public:
    explicit Deadline(uint32_t timeoutMs)
        : m_infinite(timeoutMs == CEvent::kInfinite), m_end(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}

    int RemainingMs() const {
        if (m_infinite)
            return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_end - Clock::now()).count();
        if (left <= 0)
            return 0;
        return left > INT32_MAX ? INT32_MAX : int(left);
    }
    bool Expired() const { return !m_infinite && Clock::now() >= m_end; }

private:
    bool m_infinite;
    Clock::time_point m_end;
};

// poll that restarts after a signal with the time still left.
int PollUntil(std::span<pollfd> fds, const Deadline& deadline) {
    for (;;) {
        for (auto& fd : fds)
            fd.revents = 0;
        const int ready = ::poll(fds.data(), nfds_t(fds.size()), deadline.RemainingMs());
        if (ready >= 0 || errno != EINTR)
            return ready;
    }
}

} // namespace

CEvent::CEvent(bool manualReset) : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_manualReset(manualReset) {}

CEvent::~CEvent() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CEvent::Set() {
    if (m_fd < 0)
        return false;
    if (m_manualReset && m_signalled.exchange(true))
        return true;
    const uint64_t one = 1;
    for (;;) {
        if (::write(m_fd, &one, sizeof one) == ssize_t(sizeof one))
            return true;
        // The counter is saturated: the event is signalled anyway.
        if (errno == EAGAIN)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool CEvent::Reset() {
    if (m_fd < 0)
        return false;
    uint64_t value = 0;
    for (;;) {
        if (::read(m_fd, &value, sizeof value) == ssize_t(sizeof value) || errno == EAGAIN)
            break;
        if (errno != EINTR)
            return false;
    }
    // After the read: a Set racing with this Reset either lands before it
    // (and is reset) or writes again, never leaves the flag set over an empty eventfd.
    m_signalled = false;
    return true;
}

// Takes the signal of an auto-reset event; false when another waiter was first.
bool CEvent::TryConsume() {
    uint64_t value = 0;
    for (;;) {
        if (::read(m_fd, &value, sizeof value) == ssize_t(sizeof value))
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool CEvent::Wait(uint32_t timeoutMs) {
    CEvent* self = this;
    return WaitAny(&self, 1, timeoutMs) == 0;
}

int CEvent::WaitAny(CEvent* const* events, uint32_t count, uint32_t timeoutMs) {
    if (!events || count == 0)
        return -1;
    // Waits happen once per packet batch: the usual few descriptors stay on the stack.
    constexpr uint32_t kOnStack = 8;
    pollfd stackFds[kOnStack];
    std::vector<pollfd> heapFds(count > kOnStack ? count : 0);
    const std::span<pollfd> fds = count > kOnStack ? std::span<pollfd>(heapFds) : std::span<pollfd>(stackFds, count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!events[i] || events[i]->m_fd < 0)
            return -1;
        fds[i] = pollfd{events[i]->m_fd, POLLIN, 0};
    }
    const Deadline deadline(timeoutMs);
    for (;;) {
        const int ready = PollUntil(fds, deadline);
        if (ready < 0)
            return -1;
        for (uint32_t i = 0; i < count; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            if (events[i]->m_manualReset || events[i]->TryConsume())
                return int(i);
        }
        // Nothing fired, or other waiters took every auto-reset signal: wait on.
        if (deadline.Expired())
            return -1;
    }
}

int CEvent::WaitForFd(int fd, short pollEvents, CEvent& stop, uint32_t timeoutMs) {
    if (fd < 0 || stop.m_fd < 0)
        return -1;
    pollfd fds[2] = {pollfd{stop.m_fd, POLLIN, 0}, pollfd{fd, pollEvents, 0}};
    const Deadline deadline(timeoutMs);
    for (;;) {
        const int ready = PollUntil(fds, deadline);
        if (ready < 0)
            return -1;
        if ((fds[0].revents & POLLIN) && (stop.m_manualReset || stop.TryConsume()))
            return 0;
        // Errors and hang-ups count as ready: the caller's read reports them.
        if (fds[1].revents & (pollEvents | POLLERR | POLLHUP | POLLNVAL))
            return fds[1].revents & POLLNVAL ? -1 : 1;
        if (deadline.Expired())
            return -1;
    }
}

} // namespace talvex

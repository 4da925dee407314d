#include "QueryOutcome.h"

#include <chrono>

namespace fennwick_host {
namespace {

// How often the wait looks for a stop signal.
constexpr auto kSignalPollInterval = std::chrono::milliseconds(100);

bool StopSignalPending(const sigset_t& stopSignals) {
    timespec none{0, 0};
    return sigtimedwait(&stopSignals, nullptr, &none) > 0;
}

} // namespace

void QueryOutcome::OnQueryCompleted() {
    End(true, 0, {});
}

void QueryOutcome::OnQueryFailed(uint32_t code, const char* text) {
    End(false, code, text ? text : "");
}

void QueryOutcome::OnQueryThreadKilled() {
    std::lock_guard lock(m_mutex);
    m_end.threadKilled = true;
}

void QueryOutcome::End(bool succeeded, uint32_t code, std::string text) {
    {
        std::lock_guard lock(m_mutex);
        if (m_done)
            return;
        m_done = true;
        m_end.succeeded = succeeded;
        m_end.code = code;
        m_end.text = std::move(text);
    }
    m_ended.notify_all();
}

void QueryOutcome::Wait(const sigset_t& stopSignals, const std::function<void()>& cancel) {
    bool cancelled = false;
    std::unique_lock lock(m_mutex);
    while (!m_ended.wait_for(lock, kSignalPollInterval, [this] { return m_done; })) {
        if (cancelled)
            continue;
        lock.unlock();
        if (StopSignalPending(stopSignals)) {
            cancelled = true;
            cancel();
        }
        lock.lock();
    }
}

QueryEnd QueryOutcome::Current() const {
    std::lock_guard lock(m_mutex);
    return m_end;
}

} // namespace fennwick_host

// The host's callback of the capability query: how the query ended, told from
// the driver's fetch thread, waited for by the command.
#pragma once

#include <talvex/ipcapture/CapabilityQuery.h>

#include <signal.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace fennwick_host {

struct QueryEnd {
    bool succeeded = false;
    uint32_t code = 0; // a CapabilityQueryFailure when it failed
    std::string text;
    bool threadKilled = false; // the driver gave up waiting for its fetch thread
};

class QueryOutcome : public talvex::ipcapture::ICapabilityQueryCallback {
public:
    void OnQueryCompleted() override;
    void OnQueryFailed(uint32_t code, const char* text) override;
    void OnQueryThreadKilled() override;

    // Waits for the query's end; the first SIGINT or SIGTERM among stopSignals
    // runs cancel (once), after which the driver ends the query as a failure.
    void Wait(const sigset_t& stopSignals, const std::function<void()>& cancel);
    // How it ended so far, without waiting.
    QueryEnd Current() const;

private:
    void End(bool succeeded, uint32_t code, std::string text);

    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    QueryEnd m_end;
};

} // namespace fennwick_host

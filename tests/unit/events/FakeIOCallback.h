// The host's I/O callback for the tests: keeps every input change and counts
// failures; called from the I/O threads while a test reads it.
#pragma once

#include <talvex/ipcapture/CaptureIO.h>

#include <mutex>
#include <utility>
#include <vector>

namespace talvex::test {

class FakeIOCallback : public ipcapture::ICaptureIOCallback {
public:
    void OnInputChanged(uint32_t index, uint32_t state) override {
        std::lock_guard lock(m_mutex);
        m_changes.emplace_back(index, state);
    }
    void OnFailure() override {
        std::lock_guard lock(m_mutex);
        ++m_failures;
    }
    std::vector<std::pair<uint32_t, uint32_t>> Changes() const {
        std::lock_guard lock(m_mutex);
        return m_changes;
    }
    int Failures() const {
        std::lock_guard lock(m_mutex);
        return m_failures;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<uint32_t, uint32_t>> m_changes;
    int m_failures = 0;
};

} // namespace talvex::test

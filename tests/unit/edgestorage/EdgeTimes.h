// Times of the edge storage tests: a day's clock times as file times, and a
// task user that keeps the time of each frame a task passes on.
#pragma once

#include "edgestorage/IEdgeStorageTaskUser.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace talvex::test {

constexpr uint64_t kUnitsPerSecond = 10000000;
// 2026-12-06 00:00:00 UTC in 100-ns units since 1601.
constexpr uint64_t kTestDay = 13440988800ull * kUnitsPerSecond;

constexpr uint64_t At(uint32_t hour, uint32_t minute, uint32_t second, uint32_t millisecond = 0) {
    return kTestDay + ((hour * 60ull + minute) * 60 + second) * kUnitsPerSecond + millisecond * 10000ull;
}

// Refuses frames while refuse is set (the host could not take them).
class RecordingUser : public IEdgeStorageTaskUser {
public:
    bool CaptureFrameCallback(uint32_t, ipcapture::IVideoFrame* frame) override {
        std::lock_guard lock(m_mutex);
        if (!refuse)
            m_times.push_back(frame->GetTime());
        return !refuse;
    }
    std::vector<uint64_t> Times() {
        std::lock_guard lock(m_mutex);
        return m_times;
    }
    bool refuse = false;

private:
    std::mutex m_mutex;
    std::vector<uint64_t> m_times;
};

} // namespace talvex::test

// Host-side fakes for channel tests: a frame sink that records what reached
// it and when the signal-loss notice came, and a driver whose allocator and
// device record a channel can use.
#pragma once

#include "support/FakeDriver.h"
#include "unit/video/FakeMediaHost.h"

#include <talvex/ipcapture/HostObjects.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace talvex::test {

using SteadyTime = std::chrono::steady_clock::time_point;

class FakeChannelSink : public ipcapture::IVideoChannelCallback {
public:
    bool OnFrame(ipcapture::IVideoFrame* frame) override {
        if (throwOnFrame)
            throw std::runtime_error("host sink failed");
        std::lock_guard lock(m_mutex);
        m_types.push_back(frame->GetTypeCode());
        m_sizes.push_back(frame->GetDataSize());
        if (keepBytes)
            m_frames.emplace_back(frame->GetBuffer(), frame->GetBuffer() + frame->GetDataSize());
        return accept;
    }
    void OnStateChanged(uint32_t) override {}
    void OnSignalLost() override {
        std::lock_guard lock(m_mutex);
        m_signalLost.push_back(std::chrono::steady_clock::now());
    }

    size_t FrameCount() const {
        std::lock_guard lock(m_mutex);
        return m_types.size();
    }
    std::vector<uint32_t> Types() const {
        std::lock_guard lock(m_mutex);
        return m_types;
    }
    std::vector<uint32_t> Sizes() const {
        std::lock_guard lock(m_mutex);
        return m_sizes;
    }
    // With keepBytes: the bytes of every frame taken, in order.
    std::vector<std::vector<uint8_t>> Frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    std::vector<SteadyTime> SignalLostTimes() const {
        std::lock_guard lock(m_mutex);
        return m_signalLost;
    }

    std::atomic<bool> accept{true};
    std::atomic<bool> throwOnFrame{false};
    std::atomic<bool> keepBytes{false};

private:
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_types;
    std::vector<uint32_t> m_sizes;
    std::vector<SteadyTime> m_signalLost;
    std::vector<std::vector<uint8_t>> m_frames;
};

// A frame allocator that several threads may use (the fake of the parser tests is single-threaded).
class LockedFrameAllocator : public ipcapture::IFrameAllocator {
public:
    uint32_t GetVersion() const override { return 1; }
    ipcapture::IVideoFrame* AllocVideo(uint32_t typeCode, uint32_t size, const char* name) override {
        std::lock_guard lock(m_mutex);
        return m_inner.AllocVideo(typeCode, size, name);
    }
    ipcapture::IAudioFrame* AllocAudio(uint32_t, uint32_t, const char*) override { return nullptr; }
    void ReleaseAudio(ipcapture::IAudioFrame*) override {}
    uint32_t GetFlags() const override { return 0; }
    void ReleaseVideo(ipcapture::IVideoFrame* frame) override {
        std::lock_guard lock(m_mutex);
        m_inner.ReleaseVideo(frame);
    }
    std::string LastName() {
        std::lock_guard lock(m_mutex);
        return m_inner.lastName;
    }
    // Frames handed out and not given back.
    size_t LiveFrames() {
        std::lock_guard lock(m_mutex);
        return m_inner.live.size();
    }
    void Refuse(bool refuse) {
        std::lock_guard lock(m_mutex);
        m_inner.refuse = refuse;
    }

private:
    std::mutex m_mutex;
    FakeFrameAllocator m_inner;
};

} // namespace talvex::test

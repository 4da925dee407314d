// Host side of a motion channel for the tests: a frame sink that keeps the
// data of every motion frame and counts signal losses, and an edge monitor.
// Both may be called from a channel's worker while a test reads them.
#pragma once

#include "channels/ICameraChannel.h"
#include "unit/video/FakeMediaHost.h"

#include <talvex/ipcapture/HostObjects.h>

#include <mutex>
#include <stdexcept>
#include <vector>

namespace talvex::test {

struct MotionFrame {
    std::vector<uint8_t> data;
    uint32_t typeCode = 0;
    uint16_t width = 0, height = 0;
    uint32_t kind = 0;
};

class FakeMotionCallback : public ipcapture::IVideoChannelCallback {
public:
    bool OnFrame(ipcapture::IVideoFrame* frame) override {
        std::lock_guard lock(m_mutex);
        if (m_throw)
            throw std::runtime_error("host frame sink failed");
        const uint8_t* data = frame->GetBuffer();
        m_frames.push_back({std::vector<uint8_t>(data, data + frame->GetDataSize()), frame->GetTypeCode(),
                            frame->GetWidth(), frame->GetHeight(), KindOf(frame)});
        return m_accept;
    }
    void OnStateChanged(uint32_t) override {}
    void OnSignalLost() override {
        std::lock_guard lock(m_mutex);
        ++m_losses;
    }

    // The motion byte of every frame: 1 motion, 0 none.
    std::vector<int> States() const {
        std::lock_guard lock(m_mutex);
        std::vector<int> states;
        for (const MotionFrame& frame : m_frames)
            states.push_back(frame.data.size() == 2 ? frame.data[1] : -1);
        return states;
    }
    std::vector<MotionFrame> Frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    int Losses() const {
        std::lock_guard lock(m_mutex);
        return m_losses;
    }
    void Accept(bool accept) {
        std::lock_guard lock(m_mutex);
        m_accept = accept;
    }
    void Throw(bool fail) {
        std::lock_guard lock(m_mutex);
        m_throw = fail;
    }

private:
    // The kind goes in with the picture format; only the fake frame keeps it.
    static uint32_t KindOf(ipcapture::IVideoFrame* frame) {
        auto* fake = dynamic_cast<FakeVideoFrame*>(frame);
        return fake ? fake->sizeClass : 0;
    }

    mutable std::mutex m_mutex;
    std::vector<MotionFrame> m_frames;
    int m_losses = 0;
    bool m_accept = true;
    bool m_throw = false;
};

class FakeEdgeMonitor : public IEdgeStorageCallback {
public:
    void OnFrameTime(uint32_t channel, uint64_t time) override {
        std::lock_guard lock(m_mutex);
        frameTimes.push_back({channel, time});
    }
    void OnSignalLost(uint32_t channel) override {
        std::lock_guard lock(m_mutex);
        losses.push_back(channel);
    }

    std::vector<std::pair<uint32_t, uint64_t>> frameTimes;
    std::vector<uint32_t> losses;

private:
    std::mutex m_mutex;
};

} // namespace talvex::test

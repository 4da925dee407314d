// The work items of an audio output channel's queue. The queue owns them; a
// data item hands its host frame back to the host's allocator when destroyed,
// whether the frame was sent or not.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>

namespace talvex {

class CAudioItem {
public:
    enum Type : uint32_t { kPrepare = 0, kData = 1, kRefresh = 2 };

    CAudioItem() = default;
    virtual ~CAudioItem() = default;
    CAudioItem(const CAudioItem&) = delete;
    CAudioItem& operator=(const CAudioItem&) = delete;

    // kPrepare: choose the format and prepare the camera.
    virtual Type GetType() const { return kPrepare; }
};

class CAudioDataItem : public CAudioItem {
public:
    CAudioDataItem(ipcapture::IAudioFrame* frame, ipcapture::IFrameAllocator* allocator)
        : m_frame(frame), m_allocator(allocator) {}
    ~CAudioDataItem() override { m_allocator->ReleaseAudio(m_frame); }

    Type GetType() const override { return kData; }
    ipcapture::IAudioFrame* GetFrame() const { return m_frame; }

private:
    ipcapture::IAudioFrame* const m_frame;
    ipcapture::IFrameAllocator* const m_allocator;
};

// Retry of the camera's preparation after a failure.
class CAudioRefreshItem : public CAudioItem {
public:
    Type GetType() const override { return kRefresh; }
};

} // namespace talvex

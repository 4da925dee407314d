#include "HostFrames.h"

#include <algorithm>
#include <memory>

namespace fennwick_host {

VideoFrame::VideoFrame(uint32_t typeCode, uint32_t capacity)
    : m_buffer(std::make_unique_for_overwrite<uint8_t[]>(capacity)), m_capacity(capacity), m_typeCode(typeCode) {}

void VideoFrame::SetDataSize(uint32_t size) {
    m_dataSize = std::min(size, GetCapacity());
}

void VideoFrame::SetPictureFormat(uint16_t width, uint16_t height, uint32_t sizeClass) {
    m_width = width;
    m_height = height;
    m_sizeClass = sizeClass;
}

AudioFrame::AudioFrame(uint32_t fourcc, uint32_t capacity) : m_capacity(capacity), m_codec(fourcc) {}

bool AudioFrame::SetData(const uint8_t* data, uint32_t length) {
    if (length > m_capacity || (length > 0 && !data))
        return false;
    m_data.assign(data, data + length);
    return true;
}

void AudioFrame::SetFormat(uint32_t samplesPerSecond, uint32_t bitsPerSample, bool isStereo) {
    m_samplesPerSecond = samplesPerSecond;
    m_bitsPerSample = bitsPerSample;
    m_isStereo = isStereo;
}

// Frames cross the host boundary as raw pointers: the driver gives each one
// back through the matching release slot, which deletes it.
talvex::ipcapture::IVideoFrame* FrameAllocator::AllocVideo(uint32_t typeCode, uint32_t size, const char* name) {
    if (size == 0 || size > kMaxVideoFrameBytes) {
        ++m_refused;
        return nullptr;
    }
    auto frame = std::make_unique<VideoFrame>(typeCode, size);
    if (name && std::string_view(name).ends_with(kReplayedFrameNameSuffix))
        frame->MarkReplayed();
    ++m_outstanding;
    return frame.release();
}

talvex::ipcapture::IAudioFrame* FrameAllocator::AllocAudio(uint32_t fourcc, uint32_t size, const char*) {
    if (size > kMaxAudioFrameBytes) {
        ++m_refused;
        return nullptr;
    }
    auto frame = std::make_unique<AudioFrame>(fourcc, size);
    ++m_outstanding;
    return frame.release();
}

void FrameAllocator::ReleaseAudio(talvex::ipcapture::IAudioFrame* frame) {
    if (!frame)
        return;
    std::unique_ptr<talvex::ipcapture::IAudioFrame> owned(frame);
    --m_outstanding;
}

void FrameAllocator::ReleaseVideo(talvex::ipcapture::IVideoFrame* frame) {
    if (!frame)
        return;
    std::unique_ptr<talvex::ipcapture::IVideoFrame> owned(frame);
    --m_outstanding;
}

} // namespace fennwick_host

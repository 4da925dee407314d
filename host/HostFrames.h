// The host's frame objects and the frame allocator the driver receives as its
// host context. A frame belongs to one driver thread between allocation and
// release, so frames need no lock; the allocator is called from every channel
// thread at once and keeps only atomic counts.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace fennwick_host {

// A driver never assembles a video frame above 10 MiB; larger requests are refused.
constexpr uint32_t kMaxVideoFrameBytes = 10485760;
// One audio frame holds a fraction of a second of compressed or G.711 audio.
constexpr uint32_t kMaxAudioFrameBytes = 1048576;
// The driver allocates the frames it fetched from the camera's own storage
// under the name "<driver name>::EdgeChannel"; live frames carry the stream's name.
constexpr std::string_view kReplayedFrameNameSuffix = "::EdgeChannel";

class VideoFrame : public talvex::ipcapture::IVideoFrame {
public:
    VideoFrame(uint32_t typeCode, uint32_t capacity);

    uint8_t* GetBuffer() override { return m_buffer.get(); }
    uint32_t GetCapacity() const override { return m_capacity; }
    // A size above the capacity is cut to the capacity: the buffer holds no more.
    void SetDataSize(uint32_t size) override;
    uint32_t GetDataSize() const override { return m_dataSize; }
    void SetPictureFormat(uint16_t width, uint16_t height, uint32_t sizeClass) override;
    uint16_t GetWidth() const override { return m_width; }
    uint16_t GetHeight() const override { return m_height; }
    void SetTypeCode(uint32_t fourcc) override { m_typeCode = fourcc; }
    uint32_t GetTypeCode() const override { return m_typeCode; }
    void SetTime(uint64_t fileTime) override { m_time = fileTime; }
    uint64_t GetTime() const override { return m_time; }

    uint32_t GetSizeClass() const { return m_sizeClass; }
    // A recorded frame the driver fetched after an outage, not a live one.
    bool IsReplayed() const { return m_replayed; }
    void MarkReplayed() { m_replayed = true; }
    std::span<const uint8_t> Data() const { return {m_buffer.get(), m_dataSize}; }

private:
    // Left uninitialised: the driver overwrites what it delivers, and frames come many times a second.
    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_capacity;
    uint32_t m_dataSize = 0;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    uint32_t m_sizeClass = 0;
    uint32_t m_typeCode;
    uint64_t m_time = 0;
    bool m_replayed = false;
};

class AudioFrame : public talvex::ipcapture::IAudioFrame {
public:
    AudioFrame(uint32_t fourcc, uint32_t capacity);

    void SetCodec(uint32_t fourcc) override { m_codec = fourcc; }
    // False (nothing copied) when the data does not fit the allocated capacity.
    bool SetData(const uint8_t* data, uint32_t length) override;
    void SetFormat(uint32_t samplesPerSecond, uint32_t bitsPerSample, bool isStereo) override;
    void SetBitRate(uint32_t bitRate) override { m_bitRate = bitRate; }
    void SetChannelNumber(uint8_t channel) override { m_channel = channel; }
    void Finish() override { m_finished = true; }
    const uint8_t* GetData() const override { return m_data.data(); }
    uint32_t GetDataSize() const override { return uint32_t(m_data.size()); }
    uint32_t GetCodec() const override { return m_codec; }
    uint32_t GetSamplesPerSecond() const override { return m_samplesPerSecond; }
    bool IsStereo() const override { return m_isStereo; }
    uint32_t GetBitRate() const override { return m_bitRate; }
    uint8_t GetChannelNumber() const override { return m_channel; }

    uint32_t GetBitsPerSample() const { return m_bitsPerSample; }
    bool IsFinished() const { return m_finished; }

private:
    uint32_t m_capacity;
    std::vector<uint8_t> m_data;
    uint32_t m_codec;
    uint32_t m_samplesPerSecond = 0;
    uint32_t m_bitsPerSample = 0;
    bool m_isStereo = false;
    uint32_t m_bitRate = 0;
    uint8_t m_channel = 0;
    bool m_finished = false;
};

class FrameAllocator : public talvex::ipcapture::IFrameAllocator {
public:
    static constexpr uint32_t kVersion = 1;

    FrameAllocator() = default;
    FrameAllocator(const FrameAllocator&) = delete;
    FrameAllocator& operator=(const FrameAllocator&) = delete;

    uint32_t GetVersion() const override { return kVersion; }
    // Null for an empty frame or one above kMaxVideoFrameBytes.
    talvex::ipcapture::IVideoFrame* AllocVideo(uint32_t typeCode, uint32_t size, const char* name) override;
    // Null for a frame above kMaxAudioFrameBytes.
    talvex::ipcapture::IAudioFrame* AllocAudio(uint32_t fourcc, uint32_t size, const char* name) override;
    void ReleaseAudio(talvex::ipcapture::IAudioFrame* frame) override;
    uint32_t GetFlags() const override { return 0; }
    void ReleaseVideo(talvex::ipcapture::IVideoFrame* frame) override;

    // Frames handed out and not yet released.
    int64_t OutstandingFrames() const { return m_outstanding.load(); }
    uint64_t RefusedAllocations() const { return m_refused.load(); }

private:
    std::atomic<int64_t> m_outstanding{0};
    std::atomic<uint64_t> m_refused{0};
};

} // namespace fennwick_host

// Host-side fakes for the audio tests: audio frames that keep what they were
// given, an allocator that counts what it handed out and took back, a frame
// consumer, a status callback and the host's offered formats.
#pragma once

#include "audio/IAudioParserCallback.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace talvex::test {

class FakeAudioFrame : public ipcapture::IAudioFrame {
public:
    void SetCodec(uint32_t fourcc) override { codec = fourcc; }
    bool SetData(const uint8_t* bytes, uint32_t length) override {
        data.assign(bytes, bytes + length);
        return true;
    }
    void SetFormat(uint32_t rate, uint32_t, bool stereo) override {
        samplesPerSecond = rate;
        isStereo = stereo;
    }
    void SetBitRate(uint32_t rate) override { bitRate = rate; }
    void SetChannelNumber(uint8_t number) override { channel = number; }
    void Finish() override {}
    const uint8_t* GetData() const override { return data.empty() ? nullptr : data.data(); }
    uint32_t GetDataSize() const override { return uint32_t(data.size()); }
    uint32_t GetCodec() const override { return codec; }
    uint32_t GetSamplesPerSecond() const override { return samplesPerSecond; }
    bool IsStereo() const override { return isStereo; }
    uint32_t GetBitRate() const override { return bitRate; }
    uint8_t GetChannelNumber() const override { return channel; }

    std::vector<uint8_t> data;
    uint32_t codec = 0, samplesPerSecond = 8000, bitRate = 0;
    bool isStereo = false;
    uint8_t channel = 0;
};

// Frames are owned here, so a frame released twice or never shows in the counts.
class FakeAudioAllocator : public ipcapture::IFrameAllocator {
public:
    uint32_t GetVersion() const override { return 1; }
    ipcapture::IVideoFrame* AllocVideo(uint32_t, uint32_t, const char*) override { return nullptr; }
    ipcapture::IAudioFrame* AllocAudio(uint32_t, uint32_t, const char*) override {
        std::lock_guard lock(m_mutex);
        if (refuse)
            return nullptr;
        ++allocated;
        return m_frames.emplace_back(std::make_unique<FakeAudioFrame>()).get();
    }
    void ReleaseAudio(ipcapture::IAudioFrame*) override { ++released; }
    uint32_t GetFlags() const override { return 0; }
    void ReleaseVideo(ipcapture::IVideoFrame*) override {}

    // A frame the host fills itself (the output direction).
    FakeAudioFrame* MakeFrame(uint32_t codec, uint32_t bitRate, size_t size, uint8_t channel = 0) {
        auto* frame = static_cast<FakeAudioFrame*>(AllocAudio(codec, uint32_t(size), "test"));
        frame->codec = codec;
        frame->bitRate = bitRate;
        frame->channel = channel;
        frame->data.assign(size, 0x55);
        return frame;
    }

    std::atomic<bool> refuse{false};
    std::atomic<int> allocated{0}, released{0};

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<FakeAudioFrame>> m_frames;
};

// The channel's side of a frame assembler: keeps the bytes and tag of each frame.
class RecordingAudioConsumer : public IAudioParserCallback {
public:
    bool OnAudioFrame(ipcapture::IAudioFrame* frame) override {
        frames.emplace_back(frame->GetData(), frame->GetData() + frame->GetDataSize());
        codecs.push_back(frame->GetCodec());
        return accept;
    }
    bool accept = true;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint32_t> codecs;
};

class FakeAudioSenderCallback : public ipcapture::IAudioSenderCallback {
public:
    void OnStatusChanged(uint32_t, uint32_t status) override {
        std::lock_guard lock(m_mutex);
        m_statuses.push_back(status);
    }
    std::vector<uint32_t> Statuses() const {
        std::lock_guard lock(m_mutex);
        return m_statuses;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_statuses;
};

class FakeAudioFormat : public ipcapture::IAudioFormat {
public:
    explicit FakeAudioFormat(uint32_t fourcc = 0, bool usable = true) : codec(fourcc), usable(usable) {}
    bool IsUsable() const override { return usable; }
    uint32_t GetCodec() const override { return codec; }
    void SetCodec(uint32_t fourcc) override { codec = fourcc; }
    void SetSamplesPerSecond(uint32_t) override {}
    void SetBitRate(uint32_t) override {}
    void SetStereo(bool) override {}
    uint32_t GetSamplesPerSecond() const override { return 0; }
    uint32_t GetBitRate() const override { return 0; }
    bool IsStereo() const override { return false; }

    uint32_t codec;
    bool usable;
};

class FakeAudioFormatList : public ipcapture::IAudioFormatList {
public:
    uint32_t GetCount() const override { return uint32_t(formats.size()); }
    ipcapture::IAudioFormat* GetFormat(uint32_t index) override {
        return index < formats.size() ? &formats[index] : nullptr;
    }
    std::vector<FakeAudioFormat> formats;
};

} // namespace talvex::test

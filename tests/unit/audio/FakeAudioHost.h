// Host-side fakes for the audio tests: audio frames that keep what they were
// given, an allocator that counts what it handed out and took back, and the
// input and output callbacks that record frames and status changes.
#pragma once

#include "audio/IAudioParserCallback.h"

#include <talvex/ipcapture/AudioCapture.h>
#include <talvex/ipcapture/HostObjects.h>

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
    void SetFormat(uint32_t rate, uint32_t bits, bool stereo) override {
        samplesPerSecond = rate;
        bitsPerSample = bits;
        isStereo = stereo;
    }
    void SetBitRate(uint32_t rate) override { bitRate = rate; }
    void SetChannelNumber(uint8_t number) override { channel = number; }
    void Finish() override { finished = true; }
    const uint8_t* GetData() const override { return data.empty() ? nullptr : data.data(); }
    uint32_t GetDataSize() const override { return uint32_t(data.size()); }
    uint32_t GetCodec() const override { return codec; }
    uint32_t GetSamplesPerSecond() const override { return samplesPerSecond; }
    bool IsStereo() const override { return isStereo; }
    uint32_t GetBitRate() const override { return bitRate; }
    uint8_t GetChannelNumber() const override { return channel; }

    std::vector<uint8_t> data;
    uint32_t codec = 0, samplesPerSecond = 0, bitsPerSample = 0, bitRate = 0;
    bool isStereo = false, finished = false;
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
        m_frames.push_back(std::make_unique<FakeAudioFrame>());
        return m_frames.back().get();
    }
    void ReleaseAudio(ipcapture::IAudioFrame*) override { ++released; }
    uint32_t GetFlags() const override { return 0; }
    void ReleaseVideo(ipcapture::IVideoFrame*) override {}

    // A frame the host fills itself (the output direction).
    FakeAudioFrame* MakeFrame(uint32_t codec, uint32_t bitRate, size_t size, uint8_t channel = 0) {
        auto* frame = static_cast<FakeAudioFrame*>(AllocAudio(codec, uint32_t(size), "test"));
        frame->codec = codec;
        frame->bitRate = bitRate;
        frame->samplesPerSecond = 8000;
        frame->channel = channel;
        frame->data.assign(size, 0x55);
        return frame;
    }

    std::atomic<bool> refuse{false};
    std::atomic<int> allocated{0};
    std::atomic<int> released{0};

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<FakeAudioFrame>> m_frames;
};

// What reached the host through a channel: frame copies and status changes.
class AudioHostRecord {
public:
    void AddFrame(const ipcapture::IAudioFrame& frame) {
        std::lock_guard lock(m_mutex);
        m_frames.emplace_back(frame.GetData(), frame.GetData() + frame.GetDataSize());
        m_codecs.push_back(frame.GetCodec());
    }
    void AddStatus(uint32_t status) {
        std::lock_guard lock(m_mutex);
        m_statuses.push_back(status);
    }
    std::vector<std::vector<uint8_t>> Frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    std::vector<uint32_t> Codecs() const {
        std::lock_guard lock(m_mutex);
        return m_codecs;
    }
    std::vector<uint32_t> Statuses() const {
        std::lock_guard lock(m_mutex);
        return m_statuses;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_frames;
    std::vector<uint32_t> m_codecs;
    std::vector<uint32_t> m_statuses;
};

class FakeAudioCaptureCallback : public ipcapture::IAudioCaptureCallback {
public:
    bool OnAudioFrame(ipcapture::IAudioFrame* frame) override {
        record.AddFrame(*frame);
        return accept;
    }
    void OnStatusChanged(uint32_t, uint32_t status) override { record.AddStatus(status); }

    std::atomic<bool> accept{true};
    AudioHostRecord record;
};

// The channel's side of a frame assembler: keeps what it is handed.
class RecordingAudioConsumer : public IAudioParserCallback {
public:
    bool OnAudioFrame(ipcapture::IAudioFrame* frame) override {
        record.AddFrame(*frame);
        return accept;
    }
    bool accept = true;
    AudioHostRecord record;
};

class FakeAudioSenderCallback : public ipcapture::IAudioSenderCallback {
public:
    void OnStatusChanged(uint32_t, uint32_t status) override { record.AddStatus(status); }
    AudioHostRecord record;
};

class FakeAudioFormat : public ipcapture::IAudioFormat {
public:
    explicit FakeAudioFormat(uint32_t fourcc = 0, bool usable = true) : codec(fourcc), usable(usable) {}
    bool IsUsable() const override { return usable; }
    uint32_t GetCodec() const override { return codec; }
    void SetCodec(uint32_t fourcc) override { codec = fourcc; }
    void SetSamplesPerSecond(uint32_t rate) override { samplesPerSecond = rate; }
    void SetBitRate(uint32_t rate) override { bitRate = rate; }
    void SetStereo(bool stereo) override { isStereo = stereo; }
    uint32_t GetSamplesPerSecond() const override { return samplesPerSecond; }
    uint32_t GetBitRate() const override { return bitRate; }
    bool IsStereo() const override { return isStereo; }

    uint32_t codec, samplesPerSecond = 0, bitRate = 0;
    bool usable, isStereo = false;
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

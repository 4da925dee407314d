// Fakes for the media parser tests: a host frame allocator, a parser owner and a channel-side client that keeps
// every delivered frame.
#pragma once

#include "support/FakeDriver.h"
#include "video/IMediaParserClient.h"
#include "video/IMediaParserOwner.h"

#include <talvex/ipcapture/HostObjects.h>

#include <memory>
#include <string>
#include <vector>

namespace talvex::test {

class FakeVideoFrame : public ipcapture::IVideoFrame {
public:
    FakeVideoFrame(uint32_t, uint32_t capacity) : buffer(capacity) {}
    uint8_t* GetBuffer() override { return buffer.data(); }
    uint32_t GetCapacity() const override { return uint32_t(buffer.size()); }
    void SetDataSize(uint32_t size) override { dataSize = size; }
    uint32_t GetDataSize() const override { return dataSize; }
    void SetPictureFormat(uint16_t w, uint16_t h, uint32_t cls) override {
        width = w;
        height = h;
        sizeClass = cls;
    }
    uint16_t GetWidth() const override { return width; }
    uint16_t GetHeight() const override { return height; }
    void SetTypeCode(uint32_t fourcc) override { typeCode = fourcc; }
    uint32_t GetTypeCode() const override { return typeCode; }
    void SetTime(uint64_t fileTime) override { time = fileTime; }
    uint64_t GetTime() const override { return time; }

    std::vector<uint8_t> buffer;
    uint32_t dataSize = 0, typeCode = 0, sizeClass = 0;
    uint16_t width = 0, height = 0;
    uint64_t time = 0;
};

class FakeFrameAllocator : public ipcapture::IFrameAllocator {
public:
    uint32_t GetVersion() const override { return 1; }
    ipcapture::IVideoFrame* AllocVideo(uint32_t typeCode, uint32_t size, const char* name) override {
        lastName = name;
        ++allocated;
        if (refuse)
            return nullptr;
        live.push_back(std::make_unique<FakeVideoFrame>(typeCode, shortBy < size ? size - shortBy : 0));
        return live.back().get();
    }
    ipcapture::IAudioFrame* AllocAudio(uint32_t, uint32_t, const char*) override { return nullptr; }
    void ReleaseAudio(ipcapture::IAudioFrame*) override {}
    uint32_t GetFlags() const override { return 0; }
    void ReleaseVideo(ipcapture::IVideoFrame* frame) override {
        ++released;
        std::erase_if(live, [frame](const auto& owned) { return owned.get() == frame; });
    }

    bool refuse = false;
    uint32_t shortBy = 0; // frames come this much smaller than asked for
    int allocated = 0;
    int released = 0;
    std::string lastName;
    std::vector<std::unique_ptr<FakeVideoFrame>> live;
};

class FakeParserOwner : public IMediaParserOwner {
public:
    IDebugMessage& GetLogger() override { return driver; }
    const DEVICE_INFO& GetDeviceInfo() override { return *driver.GetDeviceInfo(); }
    ipcapture::IFrameAllocator* GetFrameAllocator() override { return withAllocator ? &allocator : nullptr; }

    FakeDriver driver{"10.1.1.9", 8080};
    FakeFrameAllocator allocator;
    bool withAllocator = true;
};

// What the client saw of one delivered frame.
struct DeliveredFrame {
    std::vector<uint8_t> data;
    uint32_t typeCode = 0;
    uint16_t width = 0, height = 0;
    uint32_t sizeClass = 0;
    uint64_t time = 0;
};

class FakeParserClient : public IMediaParserClient {
public:
    bool DeliverFrame(ipcapture::IVideoFrame* frame) override {
        auto& fake = static_cast<FakeVideoFrame&>(*frame);
        frames.push_back({std::vector<uint8_t>(fake.buffer.begin(), fake.buffer.begin() + fake.dataSize),
                          fake.typeCode, fake.width, fake.height, fake.sizeClass, fake.time});
        return accept;
    }
    void GetConfiguredSize(uint16_t& width, uint16_t& height) override {
        width = configuredWidth;
        height = configuredHeight;
    }
    void GetDeviceName(std::string& text) override { text = "Camera 10.1.1.9"; }
    // The frame time is the RTP timestamp itself, so tests can see which packet finished a frame.
    void ConvertTimestamp(uint32_t rtpTimestamp, CTime& time) override { time = CTime(rtpTimestamp); }

    std::vector<DeliveredFrame> frames;
    bool accept = true;
    uint16_t configuredWidth = 0, configuredHeight = 0;
};

} // namespace talvex::test

// The host calls the driver's slots by position. These tests call slots by
// number, the way a host compiled from another copy of the headers would
// (Itanium C++ ABI: vtable entries 0 and 1 are the two destructors of slot 0,
// slot n >= 1 is entry n + 1).
#include <talvex/ipcapture/Exports.h>

#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

using namespace talvex::ipcapture;
using fennwick_test::FakeDeviceSettings;
using fennwick_test::RecordingDebugSink;

template <typename Result, typename... Args>
Result CallSlot(void* object, size_t slot, Args... args) {
    void** vtable = *static_cast<void***>(object);
    auto function = reinterpret_cast<Result (*)(void*, Args...)>(vtable[slot + 1]);
    return function(object, args...);
}

// Records which method ran; each method knows its documented slot number.
class DriverSlotProbe : public IIPCaptureDriverEx5 {
public:
    bool Open(IHostDebugSink*, IFrameAllocator*, IDeviceSettings*) override { return Ran(1); }
    void Close() override { Ran(2); }
    IIPVideoCapture* GetVideoCapture() override { return Ran(3), nullptr; }
    ICaptureIOApi* GetDigitalIO() override { return Ran(4), nullptr; }
    void* GetOptionalComponent() override { return Ran(5), nullptr; }
    IIPPTZDriver* GetPTZDriver() override { return Ran(6), nullptr; }
    void* GetOptionalComponentEx() override { return Ran(7), nullptr; }
    IIPVideoCaptureEx* GetVideoCaptureEx() override { return Ran(8), nullptr; }
    IIPPTZDriverEx* GetPTZDriverEx() override { return Ran(9), nullptr; }
    IIPAudioCapture2* GetAudioCapture() override { return Ran(10), nullptr; }
    IIPAudioSender* GetAudioSender() override { return Ran(11), nullptr; }
    IIPVideoCaptureEx2* GetVideoCaptureEx2() override { return Ran(12), nullptr; }

    size_t lastSlot = 0;

private:
    bool Ran(size_t slot) {
        lastSlot = slot;
        return true;
    }
};

TEST(DriverSlotOrder, HeaderPlacesEveryDriverMethodAtItsSlot) {
    DriverSlotProbe probe;
    EXPECT_TRUE(CallSlot<bool>(&probe, 1, (IHostDebugSink*)nullptr, (IFrameAllocator*)nullptr,
                               (IDeviceSettings*)nullptr));
    EXPECT_EQ(probe.lastSlot, 1u);
    CallSlot<void>(&probe, 2);
    EXPECT_EQ(probe.lastSlot, 2u);
    for (size_t slot = 3; slot <= 12; ++slot) {
        CallSlot<void*>(&probe, slot);
        EXPECT_EQ(probe.lastSlot, slot);
    }
}

class VideoCaptureSlotProbe : public IIPVideoCaptureEx2 {
public:
    uint32_t GetChannelCount() override { return 1; }
    bool StartChannel(uint32_t, IVideoChannelCallback*, IVideoChannelSettings*) override { return Ran(2); }
    bool StopChannel(uint32_t) override { return Ran(3); }
    bool UpdateChannel(uint32_t, IVideoSizeSource*, uint32_t) override { return Ran(4); }
    bool SendChannelCommand(uint32_t, uint32_t) override { return Ran(5); }
    bool GetChannelStatus(uint32_t, uint32_t*, uint32_t*, char*, uint32_t) override { return Ran(6); }
    bool SetProperty(const char*, const void*, uint32_t) override { return Ran(7); }
    bool GetProperty(const char*, void*, uint32_t) override { return Ran(8); }
    bool ResumeChannel(uint32_t) override { return Ran(9); }
    bool SuspendChannel(uint32_t) override { return Ran(10); }
    bool StartStream(uint32_t, uint32_t, IVideoChannelCallback*, IVideoChannelSettings*) override { return Ran(11); }
    bool StopStream(uint32_t, uint32_t) override { return Ran(12); }

    size_t lastSlot = 0;

private:
    bool Ran(size_t slot) {
        lastSlot = slot;
        return true;
    }
};

TEST(DriverSlotOrder, HeaderPlacesEveryVideoCaptureMethodAtItsSlot) {
    VideoCaptureSlotProbe probe;
    EXPECT_EQ(CallSlot<uint32_t>(&probe, 1), 1u);
    // Every slot from 2 takes at most six word-sized arguments; zeros fit them all.
    for (size_t slot = 2; slot <= 12; ++slot) {
        EXPECT_TRUE((CallSlot<bool>(&probe, slot, nullptr, nullptr, nullptr, nullptr, nullptr)));
        EXPECT_EQ(probe.lastSlot, slot);
    }
}

// The library's own object answers at the same positions.
TEST(DriverSlotOrder, DriverOpensAndClosesThroughSlotsOneAndTwo) {
    void* library = dlopen(FENNWICK_DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = reinterpret_cast<CreateIPCaptureFn>(dlsym(library, "CreateIPCapture"));
    auto destroy = reinterpret_cast<DeleteIPCaptureFn>(dlsym(library, "DeleteIPCapture"));
    IIPCaptureDriverEx5* driver = create();
    RecordingDebugSink sink;
    FakeDeviceSettings settings;
    EXPECT_TRUE(CallSlot<bool>(driver, 1, static_cast<IHostDebugSink*>(&sink), (IFrameAllocator*)nullptr,
                               static_cast<IDeviceSettings*>(&settings)));
    EXPECT_EQ(sink.LinesStartingWith("DRIVER IS OPENED").size(), 1u);
    CallSlot<void>(driver, 2);
    for (size_t slot = 3; slot <= 12; ++slot)
        EXPECT_EQ(CallSlot<void*>(driver, slot), nullptr) << "slot " << slot;
    destroy(driver);
    dlclose(library);
}

} // namespace

// libfennwick.so as a host meets it: loaded with dlopen, reached only through
// its exports and the headers of include/ (this file is compiled without the
// driver's sources). The host calls the driver's slots by position: the slot
// tests call them by number, the way a host compiled from another copy of the
// headers would (Itanium C++ ABI: vtable entries 0 and 1 are the two destructors
// of slot 0, slot n >= 1 is entry n + 1).
#include <talvex/ipcapture/Exports.h>

#include "Camera.h"
#include "QueryFindings.h"
#include "QueryOutcome.h"
#include "support/LoopbackHttp.h"
#include "support/WaitUntil.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

// The host core version this process offers to the driver objects it creates.
std::string g_hostCoreVersion;

} // namespace

extern "C" __attribute__((visibility("default"))) const char* QuorvaneProductVersion(void) {
    return g_hostCoreVersion.empty() ? nullptr : g_hostCoreVersion.c_str();
}

namespace {

using fennwick_test::FakeDeviceSettings;
using fennwick_test::RecordingDebugSink;
using fennwick_test::SinkLine;
using namespace std::chrono_literals;
using namespace talvex::ipcapture;
using namespace talvex::test;

constexpr const char* kCreateNames[] = {"CreateIPCapture",    "CreateIPCaptureEx",  "CreateIPCaptureEx2",
                                        "CreateIPCaptureEx3", "CreateIPCaptureEx4", "CreateIPCaptureEx5"};
constexpr const char* kDeleteNames[] = {"DeleteIPCapture",    "DeleteIPCaptureEx",  "DeleteIPCaptureEx2",
                                        "DeleteIPCaptureEx3", "DeleteIPCaptureEx4", "DeleteIPCaptureEx5"};
constexpr const char* kOpenedLine =
    "DRIVER IS OPENED (name: Fennwick, device model: SNC-VB630 (6th generation), FW:1.10, address: 127.0.0.1:80)";

class DriverExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_library = dlopen(FENNWICK_DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_library, nullptr) << dlerror();
        settings.parameters[3] = "1.10";
        g_hostCoreVersion.clear();
    }
    void TearDown() override {
        if (m_library)
            dlclose(m_library);
    }

    template <class Fn>
    Fn Export(const char* name) {
        return reinterpret_cast<Fn>(dlsym(m_library, name));
    }
    CreateIPCaptureFn Create(const char* name = "CreateIPCaptureEx5") { return Export<CreateIPCaptureFn>(name); }
    DeleteIPCaptureFn Delete(const char* name = "DeleteIPCaptureEx5") { return Export<DeleteIPCaptureFn>(name); }
    // The level the open line arrived at for a host offering version.
    std::vector<SinkLine> OpenedLinesForHost(const std::string& version) {
        g_hostCoreVersion = version;
        RecordingDebugSink lines;
        IIPCaptureDriverEx5* driver = Create()();
        EXPECT_TRUE(driver->Open(&lines, nullptr, &settings));
        Delete()(driver);
        return lines.LinesStartingWith("DRIVER IS OPENED");
    }

    void* m_library = nullptr;
    RecordingDebugSink sink;
    FakeDeviceSettings settings;
};

// Each name's object opens, closes (twice), opens again and is deleted open;
// every delete name ignores null.
TEST_F(DriverExportsTest, EveryCreateNameMakesAWorkingDriverAndEveryDeleteNameDestroysIt) {
    for (size_t index = 0; index < std::size(kCreateNames); ++index) {
        CreateIPCaptureFn create = Create(kCreateNames[index]);
        DeleteIPCaptureFn destroy = Delete(kDeleteNames[index]);
        ASSERT_NE(create, nullptr) << kCreateNames[index];
        ASSERT_NE(destroy, nullptr) << kDeleteNames[index];
        IIPCaptureDriverEx5* driver = create();
        ASSERT_NE(driver, nullptr) << kCreateNames[index];
        EXPECT_TRUE(driver->Open(&sink, nullptr, &settings)) << kCreateNames[index];
        driver->Close();
        driver->Close();
        EXPECT_TRUE(driver->Open(&sink, nullptr, &settings)) << kCreateNames[index];
        destroy(driver);
        destroy(nullptr);
    }
    EXPECT_EQ(sink.LinesStartingWith("DRIVER IS OPENED").size(), 2 * std::size(kCreateNames));
}

TEST_F(DriverExportsTest, OpenedLineArrivesAtTheLevelTheHostUnderstands) {
    EXPECT_EQ(OpenedLinesForHost("6.3.0.0"), (std::vector<SinkLine>{{100, kOpenedLine}}));
    // No version offered: the driver assumes 5.12.
    EXPECT_EQ(OpenedLinesForHost(""), (std::vector<SinkLine>{{3, kOpenedLine}}));
}

TEST_F(DriverExportsTest, TheLibraryHoldsOneCapabilityQueryModule) {
    fennwick_host::QueryOutcome outcome;
    auto init = Export<InitCapabilityQueryFn>("InitCapabilityQuery");
    auto start = Export<StartCapabilityQueryFn>("StartCapabilityQuery");
    auto terminate = Export<TerminateCapabilityQueryFn>("TerminateCapabilityQuery");
    auto uninit = Export<UninitCapabilityQueryFn>("UninitCapabilityQuery");
    ASSERT_TRUE(init && start && terminate && uninit);
    fennwick_host::QueryFindings result;

    EXPECT_EQ(start("127.0.0.1", 80, "admin", "admin", &result), 0); // before Init
    EXPECT_EQ(init(&outcome, false), 1);
    EXPECT_EQ(init(&outcome, true), 0);
    EXPECT_EQ(start("127.0.0.1", 80, nullptr, "admin", &result), 0);
    // An address that would change the URL fails at once, before any request.
    EXPECT_EQ(start("127.0.0.1/x", 80, "admin", "admin", &result), 1);
    ASSERT_TRUE(WaitUntil([&] { return !outcome.Current().text.empty(); }));
    EXPECT_FALSE(outcome.Current().succeeded);
    EXPECT_EQ(outcome.Current().code, uint32_t(kCapabilityInvalidAddress));
    EXPECT_EQ(terminate(), 1);
    EXPECT_EQ(uninit(), 1);
    EXPECT_EQ(start("127.0.0.1", 80, "admin", "admin", &result), 0); // after Uninit
    EXPECT_EQ(uninit(), 1);
}

TEST_F(DriverExportsTest, SeparateCapabilityQueryModules) {
    auto create = Export<CreateCapabilityQueryModuleFn>("CreateCapabilityQueryModule");
    auto destroy = Export<DeleteCapabilityQueryModuleFn>("DeleteCapabilityQueryModule");
    ASSERT_TRUE(create && destroy);
    fennwick_host::QueryOutcome first;
    fennwick_host::QueryOutcome second;
    IIPCapabilityQuery* one = create(&first, false);
    IIPCapabilityQuery* two = create(&second, true);
    ASSERT_TRUE(one && two);
    EXPECT_NE(one, two);
    EXPECT_EQ(create(nullptr, false), nullptr);
    destroy(one);
    destroy(two);
    destroy(nullptr);
}

template <typename Result, typename... Args>
Result CallSlot(void* object, size_t slot, Args... args) {
    void** vtable = *static_cast<void***>(object);
    auto function = reinterpret_cast<Result (*)(void*, Args...)>(vtable[slot + 1]);
    return function(object, args...);
}

// Records which method ran; each method of a probe knows its documented slot number.
struct SlotRecorder {
    size_t lastSlot = 0;
    bool Ran(size_t slot) {
        lastSlot = slot;
        return true;
    }
};

class DriverSlotProbe : public IIPCaptureDriverEx5, public SlotRecorder {
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

class VideoCaptureSlotProbe : public IIPVideoCaptureEx2, public SlotRecorder {
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
TEST_F(DriverExportsTest, DriverOpensAndClosesThroughSlotsOneAndTwo) {
    IIPCaptureDriverEx5* driver = Create("CreateIPCapture")();
    EXPECT_TRUE(CallSlot<bool>(driver, 1, static_cast<IHostDebugSink*>(&sink), (IFrameAllocator*)nullptr,
                               static_cast<IDeviceSettings*>(&settings)));
    EXPECT_EQ(sink.LinesStartingWith("DRIVER IS OPENED").size(), 1u);
    CallSlot<void>(driver, 2);
    for (size_t slot = 3; slot <= 12; ++slot)
        EXPECT_EQ(CallSlot<void*>(driver, slot), nullptr) << "slot " << slot;
    Delete("DeleteIPCapture")(driver);
}

// "clock_offset_ms" of a camsim camera's /camsim/state; a large value when it cannot be read.
long long ClockOffsetMs(uint16_t port) {
    const std::string state = BodyOf(LoopbackGet(port, "/camsim/state", 2s));
    const size_t at = state.find("\"clock_offset_ms\": ");
    return at == std::string::npos ? 1LL << 40 : std::atoll(state.c_str() + at + 19);
}

// Clock synchronisation end to end: a driver with edge storage on (property 11 = 1)
// brings the clock of a camsim camera an hour ahead back to UTC.
TEST_F(DriverExportsTest, EdgeStorageDriverSetsTheCameraClockToUtc) {
    camsim::CameraOptions options;
    options.model = "SNC-CH210";
    options.auth = camsim::AuthMode::None;
    options.clockOffsetMs = 3600 * 1000;
    camsim::Camera camera(options);
    std::string error;
    ASSERT_TRUE(camera.Start(error)) << error;
    ASSERT_EQ(ClockOffsetMs(camera.Http().Port()), 3600 * 1000);
    settings.model = options.model;
    settings.port = camera.Http().Port();
    for (uint32_t id = 2; id <= 11; ++id) // the host hands out properties up to the first it lacks
        settings.parameters[id] = "";
    settings.parameters[2] = std::to_string(camera.State().Generation());
    settings.parameters[11] = "1";
    IIPCaptureDriverEx5* driver = Create()();
    ASSERT_TRUE(driver->Open(&sink, nullptr, &settings));
    EXPECT_TRUE(WaitUntil([&] { return std::llabs(ClockOffsetMs(camera.Http().Port())) < 3000; }, 10s));
    Delete()(driver);
    camera.Stop();
}

} // namespace

// libfennwick.so as a host meets it: loaded with dlopen, reached only through
// its exports and the headers of include/ (this file is compiled without the
// driver's sources).
#include <talvex/ipcapture/Exports.h>

#include "QueryFindings.h"
#include "QueryOutcome.h"
#include "support/WaitUntil.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

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
using talvex::ipcapture::IIPCaptureDriverEx5;

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

    CreateIPCaptureFn Create(const char* name = "CreateIPCaptureEx5") {
        return reinterpret_cast<CreateIPCaptureFn>(dlsym(m_library, name));
    }
    DeleteIPCaptureFn Delete(const char* name = "DeleteIPCaptureEx5") {
        return reinterpret_cast<DeleteIPCaptureFn>(dlsym(m_library, name));
    }
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

template <class Fn>
Fn Export(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

TEST_F(DriverExportsTest, TheLibraryHoldsOneCapabilityQueryModule) {
    fennwick_host::QueryOutcome outcome;
    auto init = Export<InitCapabilityQueryFn>(m_library, "InitCapabilityQuery");
    auto start = Export<StartCapabilityQueryFn>(m_library, "StartCapabilityQuery");
    auto terminate = Export<TerminateCapabilityQueryFn>(m_library, "TerminateCapabilityQuery");
    auto uninit = Export<UninitCapabilityQueryFn>(m_library, "UninitCapabilityQuery");
    ASSERT_TRUE(init && start && terminate && uninit);
    fennwick_host::QueryFindings result;

    EXPECT_EQ(start("127.0.0.1", 80, "admin", "admin", &result), 0); // before Init
    EXPECT_EQ(init(&outcome, false), 1);
    EXPECT_EQ(init(&outcome, true), 0);
    EXPECT_EQ(start("127.0.0.1", 80, nullptr, "admin", &result), 0);
    // An address that would change the URL fails at once, before any request.
    EXPECT_EQ(start("127.0.0.1/x", 80, "admin", "admin", &result), 1);
    ASSERT_TRUE(talvex::test::WaitUntil([&] { return !outcome.Current().text.empty(); }));
    EXPECT_FALSE(outcome.Current().succeeded);
    EXPECT_EQ(outcome.Current().code, uint32_t(talvex::ipcapture::kCapabilityInvalidAddress));
    EXPECT_EQ(terminate(), 1);
    EXPECT_EQ(uninit(), 1);
    EXPECT_EQ(start("127.0.0.1", 80, "admin", "admin", &result), 0); // after Uninit
    EXPECT_EQ(uninit(), 1);
}

TEST_F(DriverExportsTest, SeparateCapabilityQueryModules) {
    auto create = Export<CreateCapabilityQueryModuleFn>(m_library, "CreateCapabilityQueryModule");
    auto destroy = Export<DeleteCapabilityQueryModuleFn>(m_library, "DeleteCapabilityQueryModule");
    ASSERT_TRUE(create && destroy);
    fennwick_host::QueryOutcome first;
    fennwick_host::QueryOutcome second;
    talvex::ipcapture::IIPCapabilityQuery* one = create(&first, false);
    talvex::ipcapture::IIPCapabilityQuery* two = create(&second, true);
    ASSERT_TRUE(one && two);
    EXPECT_NE(one, two);
    EXPECT_EQ(create(nullptr, false), nullptr);
    destroy(one);
    destroy(two);
    destroy(nullptr);
}

} // namespace

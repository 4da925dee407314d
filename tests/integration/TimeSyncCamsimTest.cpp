// Clock synchronisation end to end: a driver opened through the library's
// exports with edge storage on (property 11 = 1) brings the clock of a camsim
// camera an hour ahead back to UTC, as the camera's own test hook reports.
#include <talvex/ipcapture/Exports.h>

#include "Camera.h"
#include "support/LoopbackHttp.h"
#include "support/WaitUntil.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

using namespace std::chrono_literals;

// "clock_offset_ms" of /camsim/state; a large value when it cannot be read.
long long ClockOffsetMs(uint16_t port) {
    const std::string state = talvex::test::BodyOf(talvex::test::LoopbackGet(port, "/camsim/state", 2000ms));
    const size_t at = state.find("\"clock_offset_ms\": ");
    return at == std::string::npos ? 1LL << 40 : std::atoll(state.c_str() + at + 19);
}

TEST(TimeSyncCamsimTest, EdgeStorageDriverSetsTheCameraClockToUtc) {
    camsim::CameraOptions options;
    options.model = "SNC-CH210";
    options.auth = camsim::AuthMode::None;
    options.clockOffsetMs = 3600 * 1000;
    camsim::Camera camera(options);
    std::string error;
    ASSERT_TRUE(camera.Start(error)) << error;
    ASSERT_EQ(ClockOffsetMs(camera.Http().Port()), 3600 * 1000);

    void* library = dlopen(FENNWICK_DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto create = reinterpret_cast<CreateIPCaptureFn>(dlsym(library, "CreateIPCaptureEx5"));
    const auto destroy = reinterpret_cast<DeleteIPCaptureFn>(dlsym(library, "DeleteIPCaptureEx5"));
    fennwick_test::RecordingDebugSink sink;
    fennwick_test::FakeDeviceSettings settings;
    settings.model = options.model;
    settings.port = camera.Http().Port();
    for (uint32_t id = 2; id <= 11; ++id) // the host hands out properties up to the first it lacks
        settings.parameters[id] = "";
    settings.parameters[2] = std::to_string(camera.State().Generation());
    settings.parameters[11] = "1";
    talvex::ipcapture::IIPCaptureDriverEx5* driver = create();
    ASSERT_TRUE(driver->Open(&sink, nullptr, &settings));

    EXPECT_TRUE(talvex::test::WaitUntil([&] { return std::llabs(ClockOffsetMs(camera.Http().Port())) < 3000; }, 10s));
    destroy(driver);
    dlclose(library);
    camera.Stop();
}

} // namespace

// A camera driver opened on host objects of the test's own, shared by the driver suites.
#pragma once

#include "driver/CSonyIPCaptureDriver.h"
#include "support/FakeChannelHost.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <memory>

namespace talvex::test {

constexpr HostVersion kCurrentHost{6, 3, 0, 0};

class DriverFixture : public ::testing::Test {
protected:
    // Replaces the driver by one for a host of this version, opens it on the settings and forgets the open's lines.
    bool Open(HostVersion version = kCurrentHost) {
        driver = std::make_unique<CSonyIPCaptureDriver>(version);
        const bool opened = driver->Open(&sink, nullptr, &settings);
        sink.Clear();
        return opened;
    }

    fennwick_test::RecordingDebugSink sink;
    fennwick_test::FakeDeviceSettings settings;
    FakeChannelSink callback;
    std::unique_ptr<CSonyIPCaptureDriver> driver = std::make_unique<CSonyIPCaptureDriver>(kCurrentHost);
};

} // namespace talvex::test

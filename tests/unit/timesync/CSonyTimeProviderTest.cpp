#include "timesync/CSonyTimeProvider.h"

#include "driver/CSonyIPCaptureDriver.h"
#include "support/RecordingHttpServer.h"
#include "support/WaitUntil.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <ostream>

namespace talvex {
namespace {

using namespace std::chrono_literals;

// A camera on loopback; a held one answers only when the test ends.
struct LoopbackCamera {
    explicit LoopbackCamera(bool hold = false)
        : server([this, hold](const test::RecordedRequest&) {
              if (hold)
                  server.Hold();
              return test::RecordedAnswer{200, "NtpService=off&GmTime=0001010000000"};
          }) {}
    DEVICE_INFO Device(const char* address = "127.0.0.1") const {
        return DEVICE_INFO(address, server.Port(), "admin", "admin");
    }
    test::RecordingHttpServer server;
};

struct KeyCase {
    const char* name;
    const char* otherAddress;
    bool otherPort;
    uint32_t countOfFirst;
};

void PrintTo(const KeyCase& value, std::ostream* out) { *out << value.name; }

class TimeProviderKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(TimeProviderKeyTest, OneItemPerResolvedAddressAndPort) {
    LoopbackCamera camera;
    LoopbackCamera otherCamera;
    const LoopbackCamera& second = GetParam().otherPort ? otherCamera : camera;
    const std::string first = CSonyTimeProvider::Register(camera.Device(), nullptr);
    const std::string other = CSonyTimeProvider::Register(second.Device(GetParam().otherAddress), nullptr);
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(first), GetParam().countOfFirst);
    CSonyTimeProvider::Unregister(first, nullptr);
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(other), 1u);
    CSonyTimeProvider::Unregister(other, nullptr);
    CSonyTimeProvider::Unregister(other, nullptr); // one more: harmless
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(first), 0u);
}

INSTANTIATE_TEST_SUITE_P(Devices, TimeProviderKeyTest,
                         ::testing::Values(KeyCase{"SameAddress", "127.0.0.1", false, 2},
                                           KeyCase{"HostNameOfTheAddress", "localhost", false, 2},
                                           KeyCase{"OtherPort", "127.0.0.1", true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimeProviderTest, NewCameraIsCheckedAtOnceAndItsRemovalEndsTheCheck) {
    LoopbackCamera camera(true);
    const std::string key = CSonyTimeProvider::Register(camera.Device(), nullptr);
    EXPECT_TRUE(test::WaitUntil([&] { return camera.server.Requests().size() == 1; }, 5000ms));
    const auto start = std::chrono::steady_clock::now();
    CSonyTimeProvider::Unregister(key, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(TimeProviderTest, DriverWithoutEdgeStorageLeavesTheOthersRegistration) {
    LoopbackCamera camera;
    fennwick_test::RecordingDebugSink sink;
    fennwick_test::FakeDeviceSettings settings[2];
    CSonyIPCaptureDriver drivers[2] = {CSonyIPCaptureDriver(HostVersion{6, 3, 0, 0}),
                                       CSonyIPCaptureDriver(HostVersion{6, 3, 0, 0})};
    for (uint32_t index = 0; index < 2; ++index) {
        settings[index].port = camera.Device().port;
        for (uint32_t id = 3; id <= 10; ++id) // the host hands out properties up to the first it lacks
            settings[index].parameters[id] = "";
        settings[index].parameters[11] = index == 0 ? "1" : "0";
        ASSERT_TRUE(drivers[index].Open(&sink, nullptr, &settings[index]));
    }
    const std::string key = CSonyTimeProvider::DeviceKey(camera.Device());
    drivers[1].Close();
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(key), 1u);
    drivers[0].Close();
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(key), 0u);
}

} // namespace
} // namespace talvex

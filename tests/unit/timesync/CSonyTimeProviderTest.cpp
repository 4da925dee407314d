#include "timesync/CSonyTimeProvider.h"

#include "driver/CSonyIPCaptureDriver.h"
#include "support/RecordingHttpServer.h"
#include "support/WaitUntil.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <chrono>

namespace talvex {
namespace {

using namespace std::chrono_literals;

// A camera that answers every request after holding it until released.
class HeldCamera {
public:
    explicit HeldCamera(bool hold)
        : m_server([this, hold](const test::RecordedRequest&) {
              if (hold)
                  m_server.Hold();
              return test::RecordedAnswer{200, "NtpService=off&GmTime=0001010000000"};
          }) {}
    DEVICE_INFO Device(const char* address = "127.0.0.1", uint16_t portOffset = 0) const {
        return DEVICE_INFO(address, uint16_t(m_server.Port() + portOffset), "admin", "admin");
    }
    size_t RequestCount() const { return m_server.Requests().size(); }

private:
    test::RecordingHttpServer m_server;
};

struct KeyCase {
    const char* name;
    const char* otherAddress;
    uint16_t otherPortOffset;
    bool shared;
};

class TimeProviderKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(TimeProviderKeyTest, OneItemPerResolvedAddressAndPort) {
    HeldCamera camera(false);
    const DEVICE_INFO first = camera.Device();
    const DEVICE_INFO other = camera.Device(GetParam().otherAddress, GetParam().otherPortOffset);
    CSonyTimeProvider::Register(first, nullptr);
    CSonyTimeProvider::Register(other, nullptr);
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(first), GetParam().shared ? 2u : 1u);
    CSonyTimeProvider::Unregister(first, nullptr);
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(other), 1u);
    CSonyTimeProvider::Unregister(other, nullptr);
    CSonyTimeProvider::Unregister(other, nullptr); // one more: harmless
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(first), 0u);
}

INSTANTIATE_TEST_SUITE_P(Devices, TimeProviderKeyTest,
                         ::testing::Values(KeyCase{"SameAddress", "127.0.0.1", 0, true},
                                           KeyCase{"HostNameOfTheAddress", "localhost", 0, true},
                                           KeyCase{"OtherPort", "127.0.0.1", 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimeProviderTest, NewCameraIsCheckedAtOnceAndItsRemovalEndsTheCheck) {
    HeldCamera camera(true);
    CSonyTimeProvider::Register(camera.Device(), nullptr);
    EXPECT_TRUE(test::WaitUntil([&] { return camera.RequestCount() == 1; }, 5000ms));
    const auto start = std::chrono::steady_clock::now();
    CSonyTimeProvider::Unregister(camera.Device(), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(TimeProviderTest, DriverWithoutEdgeStorageLeavesTheOthersRegistration) {
    HeldCamera camera(false);
    fennwick_test::RecordingDebugSink sink;
    fennwick_test::FakeDeviceSettings withEdge;
    withEdge.port = camera.Device().port;
    for (uint32_t id = 3; id <= 10; ++id) // the host hands out properties up to the first it lacks
        withEdge.parameters[id] = "";
    withEdge.parameters[11] = "1";
    fennwick_test::FakeDeviceSettings withoutEdge = withEdge;
    withoutEdge.parameters[11] = "0";
    CSonyIPCaptureDriver registered(HostVersion{6, 3, 0, 0});
    CSonyIPCaptureDriver unregistered(HostVersion{6, 3, 0, 0});
    ASSERT_TRUE(registered.Open(&sink, nullptr, &withEdge));
    ASSERT_TRUE(unregistered.Open(&sink, nullptr, &withoutEdge));
    unregistered.Close();
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(camera.Device()), 1u);
    registered.Close();
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(camera.Device()), 0u);
}

} // namespace
} // namespace talvex

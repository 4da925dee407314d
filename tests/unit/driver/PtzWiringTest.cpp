// How the driver reads the PTZ capabilities, hands out its PTZ handler
// through both slots and removes it at close.
#include "driver/CSonyIPCaptureDriver.h"

#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using fennwick_test::FakeDeviceSettings;
using fennwick_test::RecordingDebugSink;

TEST(SonyDriverPtz, OpenReadsPropertyFourAndBothSlotsServeOneHandler) {
    RecordingDebugSink sink;
    FakeDeviceSettings settings;
    settings.parameters[3] = "1.0";
    settings.parameters[4] = "Pan=1;Tilt=1;Zoom=1;Preset=16";
    CSonyIPCaptureDriver driver(HostVersion{6, 3, 0, 0});
    EXPECT_EQ(driver.GetPTZDriver(), nullptr);
    ASSERT_TRUE(driver.Open(&sink, nullptr, &settings));
    ASSERT_NE(driver.GetPTZDriverEx(), nullptr);
    EXPECT_EQ(driver.GetPTZDriver(), static_cast<ipcapture::IIPPTZDriver*>(driver.GetPTZDriverEx()));
    EXPECT_EQ(driver.GetPtzCapabilities()->ToText(), "Pan=1; Tilt=1; Zoom=1; Focus=0; Iris=0; Preset=16");
    ipcapture::IIPPTZApi* ptz = driver.GetPTZDriverEx()->GetPTZApi(0);
    ASSERT_NE(ptz, nullptr);
    EXPECT_TRUE(ptz->PTZ_IsSupported());
    EXPECT_EQ(ptz->PTZ_FocusNear(3), -19);
    driver.Close();
    EXPECT_EQ(driver.GetPTZDriver(), nullptr);
    EXPECT_EQ(driver.GetPTZDriverEx(), nullptr);
}

TEST(SonyDriverPtz, WithoutPropertyFourTheCameraOffersNoPtz) {
    RecordingDebugSink sink;
    FakeDeviceSettings settings;
    CSonyIPCaptureDriver driver(HostVersion{6, 3, 0, 0});
    ASSERT_TRUE(driver.Open(&sink, nullptr, &settings));
    ipcapture::IIPPTZApi* ptz = driver.GetPTZDriver()->GetPTZ(0);
    ASSERT_NE(ptz, nullptr);
    EXPECT_FALSE(ptz->PTZ_IsSupported());
    EXPECT_EQ(ptz->PTZ_Move(0, 8), -19);
}

} // namespace
} // namespace talvex

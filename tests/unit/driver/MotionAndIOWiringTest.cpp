// How the driver makes, hands out and removes the motion channels and the
// digital I/O object.
#include "driver/CSonyIPCaptureDriver.h"

#include "events/CSonyMotionChannel.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <memory>

namespace talvex {
namespace {

using fennwick_test::FakeDeviceSettings;
using fennwick_test::RecordingDebugSink;
using fennwick_test::SinkLine;

class NoFrames : public ipcapture::IVideoChannelCallback {
public:
    bool OnFrame(ipcapture::IVideoFrame*) override { return false; }
    void OnStateChanged(uint32_t) override {}
    void OnSignalLost() override {}
};

struct HostCase {
    HostVersion version;
    bool motion;
};

TEST(SonyDriverMotion, HostsBefore58GetNoChannelAndOneWarning) {
    const HostCase cases[] = {
        {{5, 7, 3, 0}, false}, {{4, 20, 0, 0}, false}, {{5, 8, 0, 0}, true}, {{6, 0, 0, 0}, true}, {{5, 12, 0, 0}, true}};
    for (const HostCase& test : cases) {
        SCOPED_TRACE(std::to_string(test.version.major) + "." + std::to_string(test.version.minor));
        RecordingDebugSink sink;
        FakeDeviceSettings settings;
        NoFrames callback;
        CSonyIPCaptureDriver driver(test.version);
        ASSERT_TRUE(driver.Open(&sink, nullptr, &settings));
        sink.Clear();
        std::unique_ptr<IMotionChannel> channel(driver.CreateMotionChannel(0, &callback));
        EXPECT_EQ(channel != nullptr, test.motion);
        const auto warnings = sink.LinesStartingWith("talvex::CSonyIPCaptureDriver::CreateMotionChannel()");
        if (test.motion) {
            EXPECT_TRUE(warnings.empty());
            EXPECT_NE(dynamic_cast<CSonyMotionChannel*>(channel.get()), nullptr);
            EXPECT_EQ(channel->GetChannel(), 0u);
            EXPECT_EQ(channel->GetCallback(), &callback);
        } else {
            const std::string version = "(" + std::to_string(test.version.major) + "." +
                                        std::to_string(test.version.minor) + "." + std::to_string(test.version.build) + ")";
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_EQ(warnings[0].level, 2u);
            EXPECT_NE(warnings[0].text.find(version), std::string::npos) << warnings[0].text;
            EXPECT_NE(warnings[0].text.find("motion detection"), std::string::npos) << warnings[0].text;
        }
    }
}

TEST(SonyDriverDigitalIO, OpenMakesItWithTheHostCountsAndCloseRemovesIt) {
    RecordingDebugSink sink;
    FakeDeviceSettings settings;
    settings.inputs = 3;
    settings.outputs = 2;
    CSonyIPCaptureDriver driver(HostVersion{6, 3, 0, 0});
    EXPECT_EQ(driver.GetDigitalIO(), nullptr);
    ASSERT_TRUE(driver.Open(&sink, nullptr, &settings));
    ipcapture::ICaptureIOApi* io = driver.GetDigitalIO();
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->GetInputCount(), 3u);
    EXPECT_EQ(io->GetOutputCount(), 2u);
    EXPECT_FALSE(io->SetCallback(nullptr));
    driver.Close();
    EXPECT_EQ(driver.GetDigitalIO(), nullptr);
}

} // namespace
} // namespace talvex

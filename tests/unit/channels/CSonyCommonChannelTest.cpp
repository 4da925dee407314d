#include "channels/CSonyCommonChannel.h"

#include "support/FakeDriver.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace talvex::test {
namespace {

TEST(OptionPairTest, SendsOnlyWhatDiffersFromTheCamera) {
    EXPECT_EQ(CSonyCommonChannel::OptionPair("", "ImageCodec1", "h264"), "&ImageCodec1=h264");
    EXPECT_EQ(CSonyCommonChannel::OptionPair("ImageCodec1=h264&FrameRate1=30", "ImageCodec1", "h264"), "");
    EXPECT_EQ(CSonyCommonChannel::OptionPair("ImageCodec1=jpeg&FrameRate1=30", "ImageCodec1", "h264"), "&ImageCodec1=h264");
    EXPECT_EQ(CSonyCommonChannel::OptionPair("FrameRate1=30\r\nImageCodec1=mpeg4\r\n", "ImageCodec1", "h264"), "&ImageCodec1=h264");
    // A key the camera does not report is not sent; names match whole.
    EXPECT_EQ(CSonyCommonChannel::OptionPair("ImageCodec1=jpeg", "ImageCodec", "h264"), "");
}

// The option builders of one device, without a stream around them.
class OptionProbe : public CSonyCommonChannel {
public:
    OptionProbe(IDriver* driver, uint32_t codecType, bool numberedKeys)
        : CSonyCommonChannel(driver, codecType, m_stop) {
        m_numberedKeys = numberedKeys;
    }
    using CSonyCommonChannel::BitRateOptions;
    using CSonyCommonChannel::BuildOptions;

protected:
    std::string ExtraOptions(const std::string&) override { return ""; }
    void TellStartFailure(std::string) override {}

private:
    CManualEvent m_stop;
};

class SonyOptionsTest : public ::testing::Test {
protected:
    static ChannelStartParameters Start(uint16_t width, uint16_t height, uint32_t frameInterval, uint32_t quality = 0) {
        return {.firstValue = frameInterval, .secondValue = quality, .width = width, .height = height};
    }
    std::string Options(uint32_t generation, uint32_t codec, uint16_t width, uint16_t height,
                        const std::string& current = "", bool numbered = false, const std::string& model = "SNC-X",
                        uint32_t frameInterval = 0) {
        driver.m_device.generation = generation;
        driver.m_device.model = model;
        return OptionProbe(&driver, codec, numbered).BuildOptions(current, Start(width, height, frameInterval));
    }
    FakeDriver driver;
};

TEST_F(SonyOptionsTest, CodecPrefixedKeysByCodec) {
    EXPECT_EQ(Options(4, kCodecH264, 640, 480), "&ImageCodec=h264&H264ImageSize=640");
    EXPECT_EQ(Options(4, kCodecMpeg4, 320, 240), "&ImageCodec=mpeg4&M4ImageSize=320");
    EXPECT_EQ(Options(4, kCodecJpeg, 320, 240), "&ImageCodec=jpeg&ImageSize=320");
    EXPECT_EQ(Options(4, kCodecH264, 640, 0), "&ImageCodec=h264") << "no size without both dimensions";
    EXPECT_EQ(Options(4, kCodecH264, 1280, 720, "ImageCodec=h264&H264ImageSize=1280"), "") << "camera unchanged";
}

TEST_F(SonyOptionsTest, OlderGenerationsHaveTheirOwnSizeRules) {
    EXPECT_EQ(Options(4, kCodecMpeg4, 1280, 960), "&ImageCodec=mpeg4&M4ImageSize=640");
    EXPECT_EQ(Options(2, kCodecMpeg4, 320, 240), "&ImageCodec=mpeg4&ImageSize=320,2");
    EXPECT_EQ(Options(3, kCodecH264, 640, 480), "&ImageCodec=h264&H264ImageSize=640,2");
    EXPECT_EQ(Options(1, kCodecJpeg, 640, 480), "&ImageSize=640");
}

TEST_F(SonyOptionsTest, NumberedKeysCarryWidthAndHeight) {
    EXPECT_EQ(Options(5, kCodecH264, 1280, 720, "", true), "&ImageCodec1=h264&ImageSize1=1280,720");
    EXPECT_EQ(Options(5, kCodecH264, 2048, 1536, "", true, "SNC-CH210"), "&ImageCodec1=h264&ImageSize1=1600,1200");
    EXPECT_EQ(Options(5, kCodecH264, 2048, 1536, "", true, "SNC-VB630"), "&ImageCodec1=h264&ImageSize1=2048,1536");
}

TEST_F(SonyOptionsTest, LightFunnelIsSwitchedToAutoWhereAvailable) {
    const std::string camera = "ImageCodec=h264&H264ImageSize=640&LFunnelAvailable=1&LightFunnelMode=off";
    EXPECT_EQ(Options(4, kCodecH264, 640, 480, camera), "&LightFunnelMode=auto");
    EXPECT_EQ(Options(4, kCodecH264, 640, 480, "ImageCodec=h264&LFunnelAvailable=0&LightFunnelMode=off"), "");
    EXPECT_EQ(Options(6, kCodecH264, 640, 480, camera), "");
}

TEST_F(SonyOptionsTest, FrameRateNeedsARateAndAKnownSize) {
    EXPECT_EQ(Options(4, kCodecH264, 640, 480, "H264ImageSize=640&H264FrameRate=30", false, "SNC-X", 100), "&H264FrameRate=10");
    EXPECT_EQ(Options(4, kCodecMpeg4, 640, 480, "M4ImageSize=640&M4FrameRate=30", false, "SNC-X", 40), "&M4FrameRate=25");
    EXPECT_EQ(Options(3, kCodecJpeg, 640, 480, "JpFrameRate=30", false, "SNC-X", 200), "&JpFrameRate=5");
    EXPECT_EQ(Options(5, kCodecH264, 640, 480, "FrameRate1=30", true, "SNC-X", 0x7000 | 60), "&FrameRate1=60");
    EXPECT_EQ(Options(4, kCodecH264, 0, 0, "H264FrameRate=30", false, "SNC-X", 100), "");
    EXPECT_EQ(Options(4, kCodecH264, 640, 480, "H264ImageSize=640&H264FrameRate=30", false, "SNC-X", 0), "");
}

struct RateCase {
    const char* name;
    uint32_t generation, codec;
    bool numbered;
    uint32_t quality, frameInterval;
    const char* camera; // what the camera reports
    const char* options; // what is sent
};

void PrintTo(const RateCase& value, std::ostream* out) { *out << value.name; }

class RateOptionsTest : public SonyOptionsTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(RateOptionsTest, SendsTheRatesTheCameraLacks) {
    const RateCase& row = GetParam();
    driver.m_device.generation = row.generation;
    const ChannelStartParameters parameters = Start(640, 480, row.frameInterval, row.quality);
    EXPECT_EQ(OptionProbe(&driver, row.codec, row.numbered).BitRateOptions(row.camera, parameters), row.options);
}

INSTANTIATE_TEST_SUITE_P(
    Options, RateOptionsTest,
    ::testing::Values(
        RateCase{"H264BestQualityOnItsHighestRate", 4, kCodecH264, false, 100, 100, "", "&H264AutoRateCtrl=off&H264BitRate=1536&H264IFrameInterval=1"},
        RateCase{"Mpeg4OneFramePerSecond", 3, kCodecMpeg4, false, 1, 1000, "", "&M4AutoRateCtrl=off&M4BitRate=64&M4IFrameInterval=2"},
        RateCase{"Mpeg4BestQualityOnItsHighestRate", 4, kCodecMpeg4, false, 100, 0, "", "&M4AutoRateCtrl=off&M4BitRate=2048"},
        RateCase{"NoQualityKeepsTheCamerasRate", 4, kCodecH264, false, 0, 100, "", "&H264IFrameInterval=1"},
        RateCase{"CameraOnAutomaticRate", 4, kCodecH264, false, 50, 0, "H264AutoRateCtrl=on&H264BitRate=1536", "&H264AutoRateCtrl=off"},
        RateCase{"NumberedKeysOnTheirOwnRates", 5, kCodecH264, true, 100, 0, "", "&AutoRateCtrl1=off&BitRate1=8192"},
        RateCase{"JpegCodecKeys", 4, kCodecJpeg, false, 50, 100, "", "&JpBandwidth=0.0&JpQuality=5"},
        RateCase{"JpegOlderGeneration", 2, kCodecJpeg, false, 1, 100, "", "&JpBandwidth=0.0&Quality=1"},
        RateCase{"JpegKeyTheCameraReports", 4, kCodecJpeg, false, 1, 100, "Quality=3&JpBandwidth=0.0", "&Quality=1"},
        RateCase{"JpegNumberedKeys", 5, kCodecJpeg, true, 100, 100, "", "&Bandwidth1=0.0&Quality1=10"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex::test

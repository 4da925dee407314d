#include "settings/CSonyVideoSettingsManager.h"

#include "FakeSonyCamera.h"
#include "common/CEvent.h"
#include "support/FakeDriver.h"
#include "support/HostDirectory.h"
#include "unit/settings/StreamWish.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace talvex {
namespace {

using test::FakeSonyCamera;
using test::HttpAnswer;
using Items = std::vector<std::pair<std::string, std::string>>;

// Values the manager sets on every camera; a camera that already has them
// is sent nothing for them.
const Items kCommonItems = {{"LightFunnelMode", "auto"}, {"Color", "color"}, {"Multicast", "off"},
                            {"RTSPTimeout", "30"},       {"RtpExpire", "10000"}};

Items WithCommon(Items items) {
    items.insert(items.end(), kCommonItems.begin(), kCommonItems.end());
    return items;
}

constexpr auto Wish = test::StreamWish;

class SonyVideoSettingsManagerTest : public ::testing::Test {
protected:
    void TearDown() override { m_manager.reset(); }

    void StartCamera(Items items) { m_camera = std::make_unique<FakeSonyCamera>(std::move(items)); }
    void WriteVideoConfig(const std::string& videoChannel) {
        std::ofstream(m_host.Path() + "Fennwick.xml")
            << "<Configuration><Default><VideoChannel>" << videoChannel << "</VideoChannel></Default></Configuration>";
    }
    CSonyVideoSettingsManager& StartManager(uint32_t generation, std::string model = "SNC-VB630") {
        m_driver = std::make_unique<test::FakeDriver>("127.0.0.1", m_camera->Port());
        m_driver->m_device.generation = generation;
        m_driver->m_device.model = std::move(model);
        m_driver->m_hostDirectory = m_host.Path();
        m_driver->m_parameters = m_parameters;
        m_manager = std::make_unique<CSonyVideoSettingsManager>(m_driver.get(), 0);
        return *m_manager;
    }
    bool Apply(uint32_t codecType, const VIDEO_STREAM_SETTINGS& wish) {
        return m_manager->SetStreamSettings(&m_stop, codecType, &wish);
    }
    bool RunPassWithoutWish() { return m_manager->SetStreamSettings(&m_stop, 0, nullptr); }

    test::HostDirectory m_host;
    std::map<uint32_t, std::string> m_parameters;
    std::unique_ptr<FakeSonyCamera> m_camera;
    std::unique_ptr<test::FakeDriver> m_driver;
    std::unique_ptr<CSonyVideoSettingsManager> m_manager;
    CManualEvent m_stop;
};

// --- Generations below 6 ----------------------------------------------------

TEST_F(SonyVideoSettingsManagerTest, LegacyWishesEqualToTheCameraSendNothingAndReadPortAndMode) {
    StartCamera(WithCommon({{"ImageCodec1", "h264"}, {"ImageSize1", "1920,1080"}, {"IFrameInterval1", "1"},
                            {"AutoRateCtrl1", "off"}, {"BitRate1", "8192"}, {"FrameRate1", "30"},
                            {"ImageCodec2", "off"}, {"ImageCodec3", "off"}, {"ImageCodecMaxNum", "3"},
                            {"RTSPPort", "8554"}, {"OperationMode", "normal"}}));
    auto& manager = StartManager(5);
    EXPECT_TRUE(Apply(3, Wish(0, 1920, 1080, 30, 100)));
    EXPECT_TRUE(m_camera->Commands().empty());
    EXPECT_EQ(manager.GetRTSPPort(), 8554);
    EXPECT_EQ(manager.GetOperationMode(), "normal");
}

TEST_F(SonyVideoSettingsManagerTest, LegacyFourStreamsWithoutWishesSwitchStreamsThreeAndFourOff) {
    WriteVideoConfig("<DisableSecondStream>No</DisableSecondStream>");
    StartCamera(WithCommon({{"ImageCodec1", "h264"}, {"ImageCodec2", "jpeg"}, {"ImageCodec3", "jpeg"},
                            {"ImageCodec4", "h264"}, {"ImageCodecMaxNum", "4"}}));
    StartManager(5);
    EXPECT_TRUE(RunPassWithoutWish());
    EXPECT_EQ(m_camera->Commands(), (std::vector<std::string>{"ImageCodec3=off&ImageCodec4=off"}));
    // Now both are off: nothing more to send.
    EXPECT_TRUE(RunPassWithoutWish());
    EXPECT_EQ(m_camera->Commands().size(), 1u);
}

TEST_F(SonyVideoSettingsManagerTest, LegacySecondStreamIsSwitchedOffWhenConfiguredSo) {
    StartCamera(WithCommon({{"ImageCodec1", "h264"}, {"ImageCodec2", "jpeg"}, {"ImageCodec3", "off"}}));
    StartManager(5);
    EXPECT_TRUE(RunPassWithoutWish());
    EXPECT_EQ(m_camera->Commands(), (std::vector<std::string>{"ImageCodec2=off"}));
}

TEST_F(SonyVideoSettingsManagerTest, LegacySecondStreamAboveVgaUnderFullHdFirstStreamBecomesVga) {
    StartCamera(WithCommon({{"ImageCodec1", "h264"}, {"ImageSize1", "1920,1080"}, {"FrameRate1", "15"},
                            {"ImageCodec2", "off"}, {"ImageSize2", "320,240"}, {"FrameRate2", "15"},
                            {"ImageCodec3", "off"}}));
    StartManager(5);
    ASSERT_TRUE(Apply(3, Wish(0, 1920, 1080, 15, 50)));
    ASSERT_TRUE(Apply(3, Wish(1, 1280, 720, 15, 50)));
    EXPECT_EQ(m_camera->Get("ImageSize2"), "640,480");
    EXPECT_EQ(m_camera->Get("ImageCodec2"), "h264");
}

TEST_F(SonyVideoSettingsManagerTest, LegacySecondStreamFollowsASmallFirstStream) {
    StartCamera(WithCommon({{"ImageCodec1", "h264"}, {"ImageSize1", "1280,720"}, {"ImageCodec2", "off"},
                            {"ImageSize2", "320,240"}, {"ImageCodec3", "off"}}));
    StartManager(5);
    ASSERT_TRUE(Apply(3, Wish(0, 1280, 720, 15, 50)));
    ASSERT_TRUE(Apply(2, Wish(1, 1280, 960, 15, 50)));
    EXPECT_EQ(m_camera->Get("ImageSize2"), "1280,720");
}

TEST_F(SonyVideoSettingsManagerTest, LegacyQualityBecomesJpegLevelAndBitRate) {
    const struct {
        uint32_t quality;
        const char* jpegLevel;
        const char* bitRate;
    } cases[] = {{1, "1", "64"}, {50, "5", "1536"}, {100, "10", "8192"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        StartCamera(WithCommon({{"ImageCodec1", "jpeg"}, {"ImageSize1", "640,480"}, {"Quality1", "3"},
                                {"Bandwidth1", "2.0"}, {"ImageCodec2", "h264"}, {"ImageSize2", "640,480"},
                                {"BitRate2", "512"}, {"ImageCodec3", "off"}}));
        StartManager(4);
        ASSERT_TRUE(Apply(1, Wish(0, 640, 480, 10, c.quality)));
        ASSERT_TRUE(Apply(3, Wish(1, 640, 480, 10, c.quality)));
        EXPECT_EQ(m_camera->Get("Quality1"), c.jpegLevel);
        EXPECT_EQ(m_camera->Get("Bandwidth1"), "0.0");
        EXPECT_EQ(m_camera->Get("BitRate2"), c.bitRate);
        m_manager.reset();
    }
}

TEST_F(SonyVideoSettingsManagerTest, LegacyThirdStreamWithoutQualityKeepsTheCamerasBitRate) {
    StartCamera(WithCommon({{"ImageCodec1", "h264"}, {"ImageCodec2", "off"}, {"ImageCodec3", "off"},
                            {"ImageSize3", "320,240"}, {"IFrameInterval3", "1"}, {"AutoRateCtrl3", "off"},
                            {"BitRate3", "512"}, {"FrameRate3", "8"}}));
    StartManager(5);
    ASSERT_TRUE(Apply(3, Wish(2, 0, 0, 15, 0)));
    EXPECT_EQ(m_camera->Commands(), (std::vector<std::string>{"ImageCodec3=h264&FrameRate3=15"}));
}

TEST_F(SonyVideoSettingsManagerTest, LegacyRequestedStreamsWithoutValuesGetTheirCodecAndStayOn) {
    StartCamera(WithCommon({{"ImageCodec1", "jpeg"}, {"ImageSize1", "640,480"}, {"Quality1", "5"},
                            {"ImageCodec2", "jpeg"}, {"ImageSize2", "640,480"}, {"BitRate2", "512"},
                            {"ImageCodec3", "off"}}));
    StartManager(5);
    // Channels that give only a codec (the host left size, rate and quality open).
    ASSERT_TRUE(Apply(3, Wish(0, 0, 0, 0, 0)));
    ASSERT_TRUE(Apply(3, Wish(1, 0, 0, 0, 0)));
    EXPECT_EQ(m_camera->Get("ImageCodec1"), "h264");
    EXPECT_EQ(m_camera->Get("ImageSize1"), "640,480");
    EXPECT_EQ(m_camera->Get("ImageCodec2"), "h264");
    EXPECT_EQ(m_camera->Get("BitRate2"), "512");
}

TEST_F(SonyVideoSettingsManagerTest, LegacyFrameRateIsSentOnlyWithOtherChangesOrNewWishes) {
    StartCamera(WithCommon({{"ImageCodec1", "jpeg"}, {"ImageSize1", "640,480"}, {"Quality1", "10"},
                            {"Bandwidth1", "0.0"}, {"FrameRate1", "30"}, {"ImageCodec2", "off"},
                            {"ImageCodec3", "off"}}));
    StartManager(5);
    ASSERT_TRUE(Apply(1, Wish(0, 640, 480, 8, 100)));
    EXPECT_EQ(m_camera->Commands(), (std::vector<std::string>{"FrameRate1=8"}));
    // Someone else changes the rate alone; an unchanged wish leaves it.
    m_camera->Set("FrameRate1", "30");
    ASSERT_TRUE(Apply(1, Wish(0, 640, 480, 8, 100)));
    EXPECT_EQ(m_camera->Commands().size(), 1u);
}

TEST_F(SonyVideoSettingsManagerTest, LegacyFullSizeH264FirstStreamLowersItsFrameRateBesideASecondStream) {
    const struct {
        const char* supported;
        uint32_t wanted;
        const char* sent;
    } cases[] = {{"1,5,15,25,30", 30, "25"}, {"30,60", 60, "30"}, {"", 60, "59"}, {"", 16, "16"}, {"30", 30, "29"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.supported + std::string(" ") + std::to_string(c.wanted));
        m_parameters = {{6, "1920x1080"}, {8, c.supported}};
        StartCamera(WithCommon({{"ImageCodec1", "h264"}, {"ImageSize1", "1920,1080"}, {"FrameRate1", "1"},
                                {"ImageCodec2", "h264"}, {"ImageSize2", "640,480"}, {"ImageCodec3", "off"}}));
        StartManager(5);
        ASSERT_TRUE(Apply(3, Wish(1, 640, 480, 5, 50)));
        ASSERT_TRUE(Apply(3, Wish(0, 1920, 1080, c.wanted, 50)));
        EXPECT_EQ(m_camera->Get("FrameRate1"), c.sent);
        m_manager.reset();
    }
}

TEST_F(SonyVideoSettingsManagerTest, LegacyLimitedModelsEncodeAtMost1600Wide) {
    StartCamera(WithCommon({{"ImageCodec1", "jpeg"}, {"ImageSize1", "640,480"}, {"ImageCodec2", "off"},
                            {"ImageCodec3", "off"}}));
    StartManager(5, "SNC-DH210T");
    ASSERT_TRUE(Apply(3, Wish(0, 2048, 1536, 15, 50)));
    EXPECT_EQ(m_camera->Get("ImageSize1"), "1600,1200");
}

TEST_F(SonyVideoSettingsManagerTest, RefusedRequestsAreLoggedOncePerCauseUntilAPassSucceeds) {
    StartCamera(WithCommon({{"ImageCodec1", "off"}}));
    StartManager(5);
    for (uint32_t status : {404u, 404u, 200u, 503u, 404u, 401u, 401u}) {
        m_camera->AnswerInquiryWith(status);
        EXPECT_EQ(RunPassWithoutWish(), status == 200) << status;
    }
    const std::string tag = m_driver->GetDeviceTag();
    EXPECT_EQ(test::CountLines(*m_driver, "was not found on device " + tag), 2u);
    EXPECT_EQ(test::CountLines(*m_driver, tag + " is unable to process"), 2u);
    EXPECT_EQ(test::CountLines(*m_driver, "HTTP status code is 503"), 1u);
    EXPECT_EQ(test::CountLines(*m_driver, "credentials are invalid"), 1u);
    EXPECT_EQ(m_driver->Lines().size(), 4u);
}

// --- Generations 6 and 7 ----------------------------------------------------

class NegotiatedSettingsTest : public SonyVideoSettingsManagerTest {
protected:
    // The capability answer for each target offered ("Capable<target>=<list>"), 404 for the others.
    void Offer(std::map<std::string, std::string> offers) {
        m_camera->OnCapability([offers](const std::string& target, const std::string&) -> HttpAnswer {
            const auto offer = offers.find(target);
            return offer == offers.end() ? HttpAnswer{404, {}} : HttpAnswer{200, "Capable" + target + "=" + offer->second};
        });
    }
    void StartG6Camera() {
        m_parameters = {{7, "320,240"}, {8, "1,5,15,25,30"}};
        StartCamera(WithCommon({{"ImageCodec1", "jpeg"}, {"ImageSize1", "640,480"}, {"FrameRate1", "30"},
                                {"CBR1", "off"}, {"H264Quality1", "3"}, {"IFrameInterval1", "2"},
                                {"ImageCodec2", "h264"}, {"ImageCodec3", "off"}, {"ImageCodecMaxNum", "3"}}));
        Offer({{"ImageSize1", "640,480,1280,720,1920,1080"}, {"FrameRate1", "1,5,15,25,30"}, {"H264Quality1", "1,10"}});
    }
};

TEST_F(NegotiatedSettingsTest, G6TakesTheNearestOfferedResolutionFrameRateAndQuality) {
    StartG6Camera();
    StartManager(6);
    ASSERT_TRUE(Apply(3, Wish(0, 1000, 700, 20, 50)));
    EXPECT_EQ(m_camera->Commands(),
              (std::vector<std::string>{
                  "ImageCodec1=h264&ImageSize1=1280,720&FrameRate1=25&IFrameInterval1=1&H264Quality1=5&ImageCodec2=off"}));
    const auto queries = m_camera->CapabilityRequests();
    ASSERT_EQ(queries.size(), 3u);
    // Each query carries what is settled so far, the stream's codec defaults
    // and what the later streams will carry.
    EXPECT_EQ(queries[0], "ImageSize1&ImageCodec1=h264&FrameRate1=1&CBR1=off&H264Quality1=1&ImageCodec2=off"
                          "&ImageCodec3=off");
    EXPECT_EQ(queries[1], "FrameRate1&ImageCodec1=h264&ImageSize1=1280,720&CBR1=off&H264Quality1=1&ImageCodec2=off"
                          "&ImageCodec3=off");
    EXPECT_EQ(queries[2], "H264Quality1&ImageCodec1=h264&ImageSize1=1280,720&FrameRate1=25&ImageCodec2=off"
                          "&ImageCodec3=off&CBR1=off");
}

TEST_F(NegotiatedSettingsTest, G6RateAboveEveryOfferedRateGetsTheHighest) {
    StartG6Camera();
    StartManager(6);
    ASSERT_TRUE(Apply(3, Wish(0, 4000, 3000, 60, 100)));
    EXPECT_EQ(m_camera->Get("ImageSize1"), "1920,1080");
    EXPECT_EQ(m_camera->Get("FrameRate1"), "30");
    EXPECT_EQ(m_camera->Get("H264Quality1"), "10");
}

TEST_F(NegotiatedSettingsTest, G6ConstantBitRateNegotiatesABitRate) {
    WriteVideoConfig("<BitrateMode>CBR</BitrateMode>");
    StartG6Camera();
    m_camera->Set("BitRate1", "1000");
    Offer({{"ImageSize1", "1920,1080"}, {"FrameRate1", "30"}, {"BitRate1", "512,6000"}});
    StartManager(6);
    ASSERT_TRUE(Apply(2, Wish(0, 1920, 1080, 30, 50)));
    EXPECT_EQ(m_camera->Get("CBR1"), "on");
    // Quality 50 of 512..6000 kbit/s is 3228: the next offered step is 4000.
    EXPECT_EQ(m_camera->Get("BitRate1"), "4000");
    EXPECT_EQ(m_camera->CapabilityRequests().back(),
              "BitRate1&ImageCodec1=mpeg4&ImageSize1=1920,1080&FrameRate1=30&ImageCodec2=off&ImageCodec3=off&CBR1=on");
}

TEST_F(NegotiatedSettingsTest, G6JpegNegotiatesItsQualityLevel) {
    StartG6Camera();
    m_camera->Set("JpegQuality1", "3");
    m_camera->Set("JpBandWidth1", "2");
    m_camera->OnCapability([](const std::string& target, const std::string& request) -> HttpAnswer {
        if (target == "ImageSize1")
            return {200, "CapableImageSize1=640,480"};
        if (target == "FrameRate1")
            return {200, "CapableFrameRate1=15"};
        if (target == "Quality1" && request.find("&Quality1=") == std::string::npos)
            return {200, "CapableQuality1=1,10"};
        return {404, {}};
    });
    StartManager(6);
    ASSERT_TRUE(Apply(1, Wish(0, 640, 480, 15, 100)));
    EXPECT_EQ(m_camera->Get("ImageCodec1"), "jpeg");
    EXPECT_EQ(m_camera->Get("JpegQuality1"), "10");
    EXPECT_EQ(m_camera->Get("JpBandWidth1"), "0");
}

TEST_F(NegotiatedSettingsTest, RequestedStreamWithoutValuesKeepsTheCamerasSize) {
    StartG6Camera();
    m_camera->Set("ImageSize1", "1280,720");
    StartManager(6);
    ASSERT_TRUE(Apply(3, Wish(0, 0, 0, 0, 0)));
    EXPECT_EQ(m_camera->Commands(), (std::vector<std::string>{"ImageCodec1=h264&ImageCodec2=off"}));
    EXPECT_EQ(m_camera->CapabilityRequests().size(), 1u);
}

TEST_F(NegotiatedSettingsTest, OddTokenCountInACapabilityAnswerFailsThePass) {
    StartG6Camera();
    m_camera->OnCapability([](const std::string&, const std::string&) -> HttpAnswer {
        return {200, "CapableImageSize1=1920,1080,640"};
    });
    StartManager(6);
    EXPECT_FALSE(Apply(3, Wish(0, 1920, 1080, 25, 50)));
    EXPECT_TRUE(m_camera->Commands().empty());
}

TEST_F(NegotiatedSettingsTest, MissingCapabilityAnswerFailsThePass) {
    StartG6Camera();
    m_camera->OnCapability([](const std::string&, const std::string&) -> HttpAnswer { return {200, "Other=1"}; });
    StartManager(6);
    EXPECT_FALSE(Apply(3, Wish(0, 1920, 1080, 25, 50)));
    EXPECT_TRUE(m_camera->Commands().empty());
}

TEST_F(NegotiatedSettingsTest, AChangeMadeByOthersIsPutBackWithoutNegotiatingAgain) {
    StartG6Camera();
    StartManager(6);
    ASSERT_TRUE(Apply(3, Wish(0, 1280, 720, 25, 50)));
    m_camera->ClearRequests();
    m_camera->Set("ImageSize1", "640,480");
    m_camera->Set("FrameRate1", "5");

    ASSERT_TRUE(Apply(3, Wish(0, 1280, 720, 25, 50)));
    EXPECT_TRUE(m_camera->CapabilityRequests().empty());
    EXPECT_EQ(m_camera->Commands(), (std::vector<std::string>{"ImageSize1=1280,720&FrameRate1=25"}));
}

TEST_F(NegotiatedSettingsTest, G7NegotiatesRealRatesBitRatesAndHintsTheLaterStreamsCodecs) {
    m_parameters = {{13, "1280,720;640,480"}, {15, "1=30"}, {16, "2=15;1=7.5"}};
    StartCamera(WithCommon({{"ImageCodec1", "jpeg"}, {"ImageSize1", "640,480"}, {"FrameRate1", "30"},
                            {"CBR1", "on"}, {"BitRate1", "512"}, {"IFrameInterval1", "2"},
                            {"H264BFrameEnable", "on"}, {"ImageCodec2", "h264"}, {"FrameRate2", "30"},
                            {"ImageCodecMaxNum", "2"}}));
    // Like a real camera: a JPEG second stream leaves the first less room.
    m_camera->OnCapability([](const std::string& target, const std::string& request) -> HttpAnswer {
        const bool jpegBeside = request.find("&ImageCodec2=jpeg") != std::string::npos;
        if (target == "ImageSize1")
            return {200, jpegBeside ? "CapableImageSize1=640,480,1920,1080" : "CapableImageSize1=1920,1080,3840,2160"};
        if (target == "FrameRate1")
            return {200, "CapableFrameRate1=8,15,29.97,59.94"};
        if (target == "BitRate1")
            return {200, "CapableBitRate1=64,16000"};
        if (target == "ImageSize2")
            return {200, "CapableImageSize2=640,480,1280,720"};
        if (target == "FrameRate2")
            return {200, "CapableFrameRate2=7.5,15"};
        if (target == "JpegQuality2")
            return {200, "CapableJpegQuality2=1,10"};
        return {404, {}};
    });
    StartManager(7);
    ASSERT_TRUE(Apply(3, Wish(0, 3840, 2160, 30, 100)));
    EXPECT_EQ(m_camera->Get("ImageSize1"), "3840,2160");
    EXPECT_EQ(m_camera->Get("ImageCodec2"), "off");
    // B-frames are switched off for a UHD H.264 stream only.
    EXPECT_EQ(m_camera->Get("H264BFrameEnable"), "off");
    m_camera->Set("H264BFrameEnable", "on");
    ASSERT_TRUE(Apply(1, Wish(1, 640, 480, 10, 1)));
    EXPECT_EQ(m_camera->Get("H264BFrameEnable"), "on");

    EXPECT_EQ(m_camera->Get("ImageCodec1"), "h264");
    EXPECT_EQ(m_camera->Get("ImageSize1"), "1920,1080");
    EXPECT_EQ(m_camera->Get("FrameRate1"), "59.94");
    EXPECT_EQ(m_camera->Get("BitRate1"), "16000");
    EXPECT_EQ(m_camera->Get("CBR1"), "off");
    EXPECT_EQ(m_camera->Get("IFrameInterval1"), "1");
    EXPECT_EQ(m_camera->Get("ImageCodec2"), "jpeg");
    EXPECT_EQ(m_camera->Get("FrameRate2"), "15");

    const auto queries = m_camera->CapabilityRequests();
    ASSERT_FALSE(queries.empty());
    const std::string lastSizeQuery = *std::find_if(queries.rbegin(), queries.rend(), [](const std::string& q) {
        return q.starts_with("ImageSize1&");
    });
    EXPECT_EQ(lastSizeQuery, "ImageSize1&ImageCodec1=h264&FrameRate1=30&CBR1=off&ImageCodec2=jpeg"
                             "&ImageSize2=640,480&FrameRate2=7.5");
}

} // namespace
} // namespace talvex

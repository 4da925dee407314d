#include "settings/SonyStreamRules.h"

#include <gtest/gtest.h>

namespace talvex::SonyStreamRules {
namespace {

TEST(SonyStreamRulesTest, ScaleLevelMapsQualityOntoTheRange) {
    EXPECT_EQ(ScaleLevel(1, 1, 10), 1u);
    EXPECT_EQ(ScaleLevel(50, 1, 10), 5u);
    EXPECT_EQ(ScaleLevel(100, 1, 10), 10u);
    // Out-of-range qualities are clamped, an empty range gives its top.
    EXPECT_EQ(ScaleLevel(0, 1, 10), 1u);
    EXPECT_EQ(ScaleLevel(1000, 1, 10), 10u);
    EXPECT_EQ(ScaleLevel(50, 7, 7), 7u);
    EXPECT_EQ(ScaleLevel(50, 9, 3), 3u);
}

TEST(SonyStreamRulesTest, BitRateForQualitySpansTheSteps) {
    EXPECT_EQ(BitRateForQuality(1), 64u);
    EXPECT_EQ(BitRateForQuality(50), 1536u);
    EXPECT_EQ(BitRateForQuality(100), 8192u);
}

TEST(SonyStreamRulesTest, NearestTakesTheNextHigherOrTheLargest) {
    const std::set<uint32_t> rates = {5, 15, 25, 30};
    EXPECT_EQ(Nearest(rates, 20u), 25u);
    EXPECT_EQ(Nearest(rates, 15u), 15u);
    EXPECT_EQ(Nearest(rates, 60u), 30u);
    EXPECT_EQ(Nearest(rates, 1u), 5u);
    EXPECT_EQ(Nearest(std::set<uint32_t>{}, 7u), 7u);
    // Resolutions order by width, then height.
    const std::set<Resolution> sizes = {{640, 480}, {1280, 720}, {1280, 960}};
    EXPECT_EQ(Nearest(sizes, Resolution{1280, 800}), (Resolution{1280, 960}));
    EXPECT_EQ(Nearest(sizes, Resolution{1000, 2000}), (Resolution{1280, 720}));
}

TEST(SonyStreamRulesTest, SecondStreamIsLimitedByTheFirst) {
    EXPECT_EQ(LimitSecondStream({640, 480}, {1920, 1080}), (Resolution{640, 480}));
    EXPECT_EQ(LimitSecondStream({320, 240}, {1920, 1080}), (Resolution{320, 240}));
    EXPECT_EQ(LimitSecondStream({1280, 720}, {1920, 1080}), (Resolution{640, 480}));
    EXPECT_EQ(LimitSecondStream({1280, 720}, {1376, 768}), (Resolution{1376, 768}));
    EXPECT_EQ(LimitSecondStream({1280, 720}, {1376, 769}), (Resolution{640, 480}));
    EXPECT_EQ(LimitSecondStream({1280, 720}, {320, 240}), (Resolution{640, 480}));
    EXPECT_EQ(LimitSecondStream({640, 481}, {1024, 768}), (Resolution{1024, 768}));
}

TEST(SonyStreamRulesTest, DevicePropertyListsKeepOnlyWellFormedEntries) {
    EXPECT_EQ(ParseFrameRateList("1,5,0,x,30"), (std::set<uint32_t>{1, 5, 30}));
    EXPECT_EQ(ParseMaximalResolution("1920x1080"), (Resolution{1920, 1080}));
    EXPECT_FALSE(ParseMaximalResolution("1920"));
    EXPECT_FALSE(ParseMaximalResolution("1920x1080x2"));
    EXPECT_EQ(ParseImageSize("640,480"), (Resolution{640, 480}));
    EXPECT_FALSE(ParseImageSize("640,70000"));
    EXPECT_FALSE(ParseImageSize("99999999999,1"));
    EXPECT_FALSE(ParseImageSize("-1,480"));
    EXPECT_FALSE(ParseImageSize(",480"));
    EXPECT_EQ(ParseResolutionList("1280,720;640,480;1,2,3;0,480;70000,1;a,b;;320,240"),
              (std::set<Resolution>{{320, 240}, {640, 480}, {1280, 720}}));
    EXPECT_EQ(ParseFrameRateMap("2=15;1=7.5;0=3;70000=1;3=;x=1;2=12.5"),
              (std::map<uint16_t, std::string>{{1, "7.5"}, {2, "12.5"}}));
}

TEST(SonyStreamRulesTest, CapabilityAnswersAreReadByTheirTarget) {
    const std::string answer = "CapableImageSize1=1920,1080,0,480,640,480\r\nCapableFrameRate1=1,7.5,30";
    auto sizes = CapableTokens(answer, "ImageSize1");
    ASSERT_TRUE(sizes);
    EXPECT_EQ(CapableResolutions(*sizes), (std::set<Resolution>{{640, 480}, {1920, 1080}}));
    auto rates = CapableTokens(answer, "FrameRate1");
    ASSERT_TRUE(rates);
    EXPECT_EQ(CapableRealRates(*rates), (std::set<double>{1, 7.5, 30}));
    EXPECT_EQ(CapableWholeRates(*rates), (std::set<uint32_t>{1, 30}));
    EXPECT_FALSE(CapableTokens(answer, "ImageSize2"));
    EXPECT_FALSE(CapableResolutions({"1920", "1080", "640"}));
}

TEST(SonyStreamRulesTest, CapabilityLevelsAreQualitiesOrBitRateSteps) {
    EXPECT_EQ(CapableLevels({"1", "5", "10"}, true), (std::set<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_FALSE(CapableLevels({"1"}, true));
    EXPECT_FALSE(CapableLevels({"0", "4000000000"}, true));
    EXPECT_EQ(CapableLevels({"500", "3000"}, false), (std::set<uint32_t>{512, 768, 1000, 1500, 2000, 3000}));
    EXPECT_EQ(CapableLevels({"64", "24000"}, false),
              (std::set<uint32_t>{64, 128, 256, 384, 512, 768, 1000, 1500, 2000, 3000, 4000, 5000, 6000, 7000, 8000,
                                  16000, 24000}));
    EXPECT_FALSE(CapableLevels({"64", "4000000000"}, false));
    // A reversed quality range offers no level (the quality is left alone); it is no failure.
    EXPECT_EQ(CapableLevels({"10", "5", "1"}, true), std::set<uint32_t>{});
}

TEST(SonyStreamRulesTest, OnlyReportedKeysWithOtherValuesAreSent) {
    const std::string inquiry = "ImageCodec1=h264&ImageSize1=640,480&Empty=&FrameRate1=30";
    std::string out;
    AddIfDiffers(out, inquiry, "ImageCodec1", "h264");
    AddIfDiffers(out, inquiry, "ImageSize1", "1280,720");
    AddIfDiffers(out, inquiry, "Unknown", "1");
    AddIfDiffers(out, inquiry, "Empty", "1");
    AddIfDiffers(out, inquiry, "ImageSize1", "");
    AddIfDiffersNumber(out, inquiry, "FrameRate1", 25);
    EXPECT_EQ(out, "&ImageSize1=1280,720&FrameRate1=25");
    EXPECT_EQ(CommonOptions("Color=mono&RtpExpire=3600&Multicast=off"), "&Color=color&RtpExpire=10000");
}

} // namespace
} // namespace talvex::SonyStreamRules

#include "settings/CSonyVideoSettingsManager.h"

#include "common/CEvent.h"
#include "support/FakeDriver.h"
#include "support/HostDirectory.h"
#include "support/LoopbackHttpServer.h"
#include "unit/settings/StreamWish.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>

namespace talvex {
namespace {

using test::HttpAnswer;
// Camera items, written as the inquiry lists them: "ImageCodec1=h264&ImageSize1=640,480".
struct Items : std::map<std::string, std::string> {
    Items() = default;
    Items(const char* text) : Items(std::string(text)) {}
    Items(const std::string& text) {
        std::istringstream in(text);
        for (std::string item; std::getline(in, item, '&');)
            if (const size_t equals = item.find('='); equals != std::string::npos)
                (*this)[item.substr(0, equals)] = item.substr(equals + 1);
    }
    // Adds the items not there yet.
    Items& Add(const Items& more) {
        insert(more.begin(), more.end());
        return *this;
    }
};
using Strings = std::vector<std::string>;
// Answers capability-video for a target ("ImageSize1") and the whole request target.
using Capability = std::function<HttpAnswer(const std::string& target, const std::string& request)>;

constexpr auto Wish = test::StreamWish;
const std::string kCameraCgi = "/command/camera.cgi?";
const std::string kCapability = "/command/capability-video?Target=";

// Values the manager sets on every camera; a camera that already has them is sent nothing for them.
Items WithCommon(Items items) {
    return items.Add("LightFunnelMode=auto&Color=color&Multicast=off&RTSPTimeout=30&RtpExpire=10000");
}

// "Capable<target>=<list>" for each target offered, 404 for the others.
Capability Offer(Items offers) {
    return [offers](const std::string& target, const std::string&) {
        const auto offer = offers.find(target);
        return offer == offers.end() ? HttpAnswer{404, {}} : HttpAnswer{200, "Capable" + target + "=" + offer->second};
    };
}
Capability Always(HttpAnswer answer) {
    return [answer](const std::string&, const std::string&) { return answer; };
}

// A wish with its codec (codec 0: a pass with the stored wishes), after others changed the camera.
struct Step {
    uint32_t codec;
    VIDEO_STREAM_SETTINGS wish;
    Items changedBefore = {};
};
const Step kStoredWishes{0, {}};

class SonyVideoSettingsManagerTest : public ::testing::Test {
protected:
    // The camera: the "camera" inquiry lists its items, camera.cgi changes the items it has.
    HttpAnswer Answer(const std::string& target) {
        std::lock_guard lock(m_mutex);
        if (target == "/command/inquiry.cgi?inq=camera") {
            std::string body;
            for (const auto& [key, value] : m_items)
                body += (body.empty() ? "" : "&") + key + "=" + value;
            return {m_inquiryStatus, m_inquiryStatus == 200 ? body : ""};
        }
        if (target.starts_with(kCameraCgi)) {
            for (const auto& [key, value] : Items(target.substr(kCameraCgi.size())))
                if (m_items.contains(key))
                    m_items[key] = value;
            return {200, {}};
        }
        if (target.starts_with(kCapability) && m_capability) {
            const std::string rest = target.substr(kCapability.size());
            return m_capability(rest.substr(0, rest.find('&')), target);
        }
        return {404, {}};
    }
    void Set(const std::string& key, const std::string& value, uint32_t inquiryStatus = 200) {
        std::lock_guard lock(m_mutex);
        m_items[key] = value;
        m_inquiryStatus = inquiryStatus;
    }
    std::string Get(const std::string& key) {
        std::lock_guard lock(m_mutex);
        return m_items.contains(key) ? m_items.at(key) : "";
    }
    // The parameter texts of the requests to a path, in order.
    Strings Sent(const std::string& prefix) const {
        Strings found;
        for (const std::string& target : m_server.Targets())
            if (target.starts_with(prefix))
                found.push_back(target.substr(prefix.size()));
        return found;
    }

    void StartManager(uint32_t generation, std::string model = "SNC-VB630", const char* videoConfig = "") {
        if (*videoConfig)
            std::ofstream(m_host.Path() + "Fennwick.xml")
                << "<Configuration><Default><VideoChannel>" << videoConfig << "</VideoChannel></Default></Configuration>";
        m_driver.m_device.generation = generation;
        m_driver.m_device.model = std::move(model);
        m_driver.m_hostDirectory = m_host.Path();
        m_manager = std::make_unique<CSonyVideoSettingsManager>(&m_driver, 0);
    }
    bool Run(const Step& step) {
        for (const auto& [key, value] : step.changedBefore)
            Set(key, value);
        return m_manager->SetStreamSettings(&m_stop, step.codec, step.codec ? &step.wish : nullptr);
    }

    test::HostDirectory m_host;
    std::mutex m_mutex;
    Items m_items;
    Capability m_capability;
    uint32_t m_inquiryStatus = 200;
    test::LoopbackHttpServer m_server{[this](const std::string& target) { return Answer(target); }};
    test::FakeDriver m_driver{"127.0.0.1", m_server.Port()};
    CManualEvent m_stop;
    std::unique_ptr<CSonyVideoSettingsManager> m_manager; // last: its worker uses the members above
};

struct SettingsCase {
    const char* name;
    uint32_t generation = 5;
    Items camera = {};            // besides the common values
    std::vector<Step> steps = {}; // each succeeds; the last as `passes` says
    Items expected = {};          // on the camera afterwards
    std::optional<Strings> commands = {}; // every camera.cgi request
    std::optional<Strings> queries = {};  // every capability-video request
    Capability capability = {};
    std::map<uint32_t, std::string> parameters = {};
    const char* model = "SNC-VB630";
    const char* videoConfig = "";
    bool passes = true;
};

void PrintTo(const SettingsCase& row, std::ostream* out) { *out << row.name; }

class SettingsPass : public SonyVideoSettingsManagerTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsPass, LeavesTheCameraAsWished) {
    const SettingsCase& row = GetParam();
    m_items = WithCommon(row.camera);
    m_capability = row.capability;
    m_driver.m_parameters = row.parameters;
    StartManager(row.generation, row.model, row.videoConfig);
    for (size_t i = 0; i < row.steps.size(); ++i)
        EXPECT_EQ(Run(row.steps[i]), row.passes || i + 1 < row.steps.size()) << "step " << i;
    for (const auto& [key, value] : row.expected)
        EXPECT_EQ(Get(key), value) << key;
    EXPECT_EQ(row.commands.value_or(Sent(kCameraCgi)), Sent(kCameraCgi));
    EXPECT_EQ(row.queries.value_or(Sent(kCapability)), Sent(kCapability));
    if (!Get("RTSPPort").empty()) {
        EXPECT_EQ(std::to_string(m_manager->GetRTSPPort()), Get("RTSPPort"));
        EXPECT_EQ(m_manager->GetOperationMode(), Get("OperationMode"));
    }
}

// A full-size H.264 first stream beside a second stream, for each list of rates the device supports.
SettingsCase FullSizeRate(const char* name, const char* supported, uint32_t wanted, const char* sent) {
    return {.name = name,
            .camera = "ImageCodec1=h264&ImageSize1=1920,1080&FrameRate1=1&ImageCodec2=h264&ImageSize2=640,480"
                      "&ImageCodec3=off",
            .steps = {{3, Wish(1, 640, 480, 5, 50)}, {3, Wish(0, 1920, 1080, wanted, 50)}},
            .expected = "FrameRate1=" + std::string(sent),
            .parameters = {{6, "1920x1080"}, {8, supported}}};
}
// A JPEG first and an H.264 second stream of generation 4, both wished at one quality.
SettingsCase LegacyQuality(const char* name, uint32_t quality, const char* jpegLevel, const char* bitRate) {
    return {.name = name,
            .generation = 4,
            .camera = "ImageCodec1=jpeg&ImageSize1=640,480&Quality1=3&Bandwidth1=2.0&ImageCodec2=h264"
                      "&ImageSize2=640,480&BitRate2=512&ImageCodec3=off",
            .steps = {{1, Wish(0, 640, 480, 10, quality)}, {3, Wish(1, 640, 480, 10, quality)}},
            .expected = "Quality1=" + std::string(jpegLevel) + "&Bandwidth1=0.0&BitRate2=" + bitRate};
}
// A generation 6 camera offering three sizes, five rates and H.264 qualities 1 to 10.
SettingsCase G6(SettingsCase row, Capability capability = Offer("ImageSize1=640,480,1280,720,1920,1080"
                                                                "&FrameRate1=1,5,15,25,30&H264Quality1=1,10")) {
    row.generation = 6;
    row.camera.Add("ImageCodec1=jpeg&ImageSize1=640,480&FrameRate1=30&CBR1=off&H264Quality1=3&IFrameInterval1=2"
                   "&ImageCodec2=h264&ImageCodec3=off&ImageCodecMaxNum=3");
    row.capability = capability;
    row.parameters = {{7, "320,240"}, {8, "1,5,15,25,30"}};
    return row;
}

const std::string kG6Nearest = "ImageCodec1=h264&ImageSize1=1280,720&FrameRate1=25&IFrameInterval1=1&H264Quality1=5";
const Strings kG6NearestQueries = {
    "ImageSize1&ImageCodec1=h264&FrameRate1=1&CBR1=off&H264Quality1=1&ImageCodec2=off&ImageCodec3=off",
    "FrameRate1&ImageCodec1=h264&ImageSize1=1280,720&CBR1=off&H264Quality1=1&ImageCodec2=off&ImageCodec3=off",
    "H264Quality1&ImageCodec1=h264&ImageSize1=1280,720&FrameRate1=25&ImageCodec2=off&ImageCodec3=off&CBR1=off"};

INSTANTIATE_TEST_SUITE_P(
    Generations, SettingsPass,
    ::testing::Values(
        SettingsCase{.name = "LegacyWishesEqualToTheCameraSendNothing",
                     .camera = "ImageCodec1=h264&ImageSize1=1920,1080&IFrameInterval1=1&AutoRateCtrl1=off"
                               "&BitRate1=8192&FrameRate1=30&ImageCodec2=off&ImageCodec3=off&ImageCodecMaxNum=3"
                               "&RTSPPort=8554&OperationMode=normal",
                     .steps = {{3, Wish(0, 1920, 1080, 30, 100)}},
                     .commands = Strings{}},
        // Once both are off there is nothing more to send.
        SettingsCase{.name = "LegacyFourStreamsWithoutWishesSwitchStreamsThreeAndFourOff",
                     .camera = "ImageCodec1=h264&ImageCodec2=jpeg&ImageCodec3=jpeg&ImageCodec4=h264"
                               "&ImageCodecMaxNum=4",
                     .steps = {kStoredWishes, kStoredWishes},
                     .commands = Strings{"ImageCodec3=off&ImageCodec4=off"},
                     .videoConfig = "<DisableSecondStream>No</DisableSecondStream>"},
        SettingsCase{.name = "LegacySecondStreamIsSwitchedOffWhenConfiguredSo", .camera = "ImageCodec1=h264&ImageCodec2=jpeg&ImageCodec3=off", .steps = {kStoredWishes}, .commands = Strings{"ImageCodec2=off"}},
        SettingsCase{.name = "LegacySecondStreamAboveVgaUnderFullHdFirstStreamBecomesVga",
                     .camera = "ImageCodec1=h264&ImageSize1=1920,1080&FrameRate1=15&ImageCodec2=off"
                               "&ImageSize2=320,240&FrameRate2=15&ImageCodec3=off",
                     .steps = {{3, Wish(0, 1920, 1080, 15, 50)}, {3, Wish(1, 1280, 720, 15, 50)}},
                     .expected = "ImageSize2=640,480&ImageCodec2=h264"},
        SettingsCase{.name = "LegacySecondStreamFollowsASmallFirstStream",
                     .camera = "ImageCodec1=h264&ImageSize1=1280,720&ImageCodec2=off&ImageSize2=320,240"
                               "&ImageCodec3=off",
                     .steps = {{3, Wish(0, 1280, 720, 15, 50)}, {2, Wish(1, 1280, 960, 15, 50)}},
                     .expected = "ImageSize2=1280,720"},
        LegacyQuality("LegacyLowestQuality", 1, "1", "64"), LegacyQuality("LegacyMiddleQuality", 50, "5", "1536"),
        SettingsCase{.name = "LegacyThirdStreamWithoutQualityKeepsTheCamerasBitRate",
                     .camera = "ImageCodec1=h264&ImageCodec2=off&ImageCodec3=off&ImageSize3=320,240&IFrameInterval3=1"
                               "&AutoRateCtrl3=off&BitRate3=512&FrameRate3=8",
                     .steps = {{3, Wish(2, 0, 0, 15, 0)}},
                     .commands = Strings{"ImageCodec3=h264&FrameRate3=15"}},
        // Channels that give only a codec (the host left size, rate and quality open).
        SettingsCase{.name = "LegacyRequestedStreamsWithoutValuesGetTheirCodecAndStayOn",
                     .camera = "ImageCodec1=jpeg&ImageSize1=640,480&Quality1=5&ImageCodec2=jpeg&ImageSize2=640,480"
                               "&BitRate2=512&ImageCodec3=off",
                     .steps = {{3, Wish(0, 0, 0, 0, 0)}, {3, Wish(1, 0, 0, 0, 0)}},
                     .expected = "ImageCodec1=h264&ImageSize1=640,480&ImageCodec2=h264&BitRate2=512"},
        // Someone else changes the rate alone; an unchanged wish leaves it.
        SettingsCase{.name = "LegacyFrameRateIsSentOnlyWithOtherChangesOrNewWishes",
                     .camera = "ImageCodec1=jpeg&ImageSize1=640,480&Quality1=10&Bandwidth1=0.0&FrameRate1=30"
                               "&ImageCodec2=off&ImageCodec3=off",
                     .steps = {{1, Wish(0, 640, 480, 8, 100)}, {1, Wish(0, 640, 480, 8, 100), "FrameRate1=30"}},
                     .commands = Strings{"FrameRate1=8"}},
        FullSizeRate("LegacyFullSizeRateNextBelowTheWish", "1,5,15,25,30", 30, "25"),
        FullSizeRate("LegacyFullSizeRateNextBelowAHighWish", "30,60", 60, "30"),
        FullSizeRate("LegacyFullSizeRateWithoutListOneBelow", "", 60, "59"),
        FullSizeRate("LegacyFullSizeRateWithoutListLowWishKept", "", 16, "16"),
        FullSizeRate("LegacyFullSizeRateOnlyRateListedOneBelow", "30", 30, "29"),
        SettingsCase{.name = "LegacyLimitedModelsEncodeAtMost1600Wide", .camera = "ImageCodec1=jpeg&ImageSize1=640,480&ImageCodec2=off&ImageCodec3=off", .steps = {{3, Wish(0, 2048, 1536, 15, 50)}}, .expected = "ImageSize1=1600,1200", .model = "SNC-DH210T"},
        // Each query carries what is settled so far, the stream's codec defaults and what the later streams carry.
        G6({.name = "G6TakesTheNearestOfferedResolutionFrameRateAndQuality", .steps = {{3, Wish(0, 1000, 700, 20, 50)}}, .commands = Strings{kG6Nearest + "&ImageCodec2=off"}, .queries = kG6NearestQueries}),
        G6({.name = "G6RateAboveEveryOfferedRateGetsTheHighest", .steps = {{3, Wish(0, 4000, 3000, 60, 100)}}, .expected = "ImageSize1=1920,1080&FrameRate1=30&H264Quality1=10"}),
        // Quality 50 of 512..6000 kbit/s is 3228: the next offered step is 4000.
        G6({.name = "G6ConstantBitRateNegotiatesABitRate",
            .camera = "BitRate1=1000",
            .steps = {{2, Wish(0, 1920, 1080, 30, 50)}},
            .expected = "CBR1=on&BitRate1=4000",
            .queries = Strings{"ImageSize1&ImageCodec1=mpeg4&FrameRate1=1&CBR1=on&ImageCodec2=off&ImageCodec3=off",
                               "FrameRate1&ImageCodec1=mpeg4&ImageSize1=1920,1080&CBR1=on&ImageCodec2=off"
                               "&ImageCodec3=off",
                               "BitRate1&ImageCodec1=mpeg4&ImageSize1=1920,1080&FrameRate1=30&ImageCodec2=off"
                               "&ImageCodec3=off&CBR1=on"},
            .videoConfig = "<BitrateMode>CBR</BitrateMode>"},
           Offer("ImageSize1=1920,1080&FrameRate1=30&BitRate1=512,6000")),
        G6({.name = "G6JpegNegotiatesItsQualityLevel", .camera = "JpegQuality1=3&JpBandWidth1=2", .steps = {{1, Wish(0, 640, 480, 15, 100)}}, .expected = "ImageCodec1=jpeg&JpegQuality1=10&JpBandWidth1=0"},
           [](const std::string& target, const std::string& request) -> HttpAnswer {
               if (target == "Quality1" && request.find("&Quality1=") == std::string::npos)
                   return {200, "CapableQuality1=1,10"};
               return Offer("ImageSize1=640,480&FrameRate1=15")(target, request);
           }),
        G6({.name = "G6RequestedStreamWithoutValuesKeepsTheCamerasSize", .camera = "ImageSize1=1280,720", .steps = {{3, Wish(0, 0, 0, 0, 0)}}, .commands = Strings{"ImageCodec1=h264&ImageCodec2=off"}, .queries = Strings{kG6NearestQueries[0]}}),
        G6({.name = "G6OddTokenCountInACapabilityAnswerFailsThePass", .steps = {{3, Wish(0, 1920, 1080, 25, 50)}}, .commands = Strings{}, .passes = false},
           Always({200, "CapableImageSize1=1920,1080,640"})),
        G6({.name = "G6MissingCapabilityAnswerFailsThePass", .steps = {{3, Wish(0, 1920, 1080, 25, 50)}}, .commands = Strings{}, .passes = false},
           Always({200, "Other=1"})),
        G6({.name = "G6AChangeMadeByOthersIsPutBackWithoutNegotiatingAgain",
            .steps = {{3, Wish(0, 1280, 720, 25, 50)},
                      {3, Wish(0, 1280, 720, 25, 50), "ImageSize1=640,480&FrameRate1=5"}},
            .commands = Strings{kG6Nearest + "&ImageCodec2=off", "ImageSize1=1280,720&FrameRate1=25"},
            .queries = kG6NearestQueries})),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SonyVideoSettingsManagerTest, RefusedRequestsAreLoggedOncePerCauseUntilAPassSucceeds) {
    m_items = WithCommon("ImageCodec1=off");
    StartManager(5);
    for (uint32_t status : {404u, 404u, 200u, 503u, 404u, 401u, 401u}) {
        Set("ImageCodec1", "off", status);
        EXPECT_EQ(Run(kStoredWishes), status == 200) << status;
    }
    const std::string tag = m_driver.GetDeviceTag();
    EXPECT_EQ(test::CountLines(m_driver, "was not found on device " + tag), 2u);
    EXPECT_EQ(test::CountLines(m_driver, tag + " is unable to process"), 2u);
    EXPECT_EQ(test::CountLines(m_driver, "HTTP status code is 503"), 1u);
    EXPECT_EQ(test::CountLines(m_driver, "credentials are invalid"), 1u);
    EXPECT_EQ(m_driver.Lines().size(), 4u);
}

TEST_F(SonyVideoSettingsManagerTest, G7NegotiatesRealRatesBitRatesAndHintsTheLaterStreamsCodecs) {
    m_driver.m_parameters = {{13, "1280,720;640,480"}, {15, "1=30"}, {16, "2=15;1=7.5"}};
    m_items = WithCommon("ImageCodec1=jpeg&ImageSize1=640,480&FrameRate1=30&CBR1=on&BitRate1=512&IFrameInterval1=2"
                         "&H264BFrameEnable=on&ImageCodec2=h264&FrameRate2=30&ImageCodecMaxNum=2");
    // Like a real camera: a JPEG second stream leaves the first less room.
    m_capability = [](const std::string& target, const std::string& request) {
        const bool jpegBeside = request.find("&ImageCodec2=jpeg") != std::string::npos;
        return Offer(std::string("ImageSize1=") + (jpegBeside ? "640,480,1920,1080" : "1920,1080,3840,2160") +
                     "&FrameRate1=8,15,29.97,59.94&BitRate1=64,16000&ImageSize2=640,480,1280,720&FrameRate2=7.5,15"
                     "&JpegQuality2=1,10")(target, request);
    };
    StartManager(7);
    ASSERT_TRUE(Run({3, Wish(0, 3840, 2160, 30, 100)}));
    EXPECT_EQ(Get("ImageSize1"), "3840,2160");
    EXPECT_EQ(Get("ImageCodec2"), "off");
    // B-frames are switched off for a UHD H.264 stream only.
    EXPECT_EQ(Get("H264BFrameEnable"), "off");
    ASSERT_TRUE(Run({1, Wish(1, 640, 480, 10, 1), "H264BFrameEnable=on"}));
    EXPECT_EQ(Get("H264BFrameEnable"), "on");

    const Items expected = "ImageCodec1=h264&ImageSize1=1920,1080&FrameRate1=59.94&BitRate1=16000&CBR1=off"
                           "&IFrameInterval1=1&ImageCodec2=jpeg&FrameRate2=15";
    for (const auto& [key, value] : expected)
        EXPECT_EQ(Get(key), value) << key;
    const Strings queries = Sent(kCapability);
    const auto lastSizeQuery =
        std::find_if(queries.rbegin(), queries.rend(), [](const std::string& q) { return q.starts_with("ImageSize1&"); });
    ASSERT_NE(lastSizeQuery, queries.rend());
    EXPECT_EQ(*lastSizeQuery, "ImageSize1&ImageCodec1=h264&FrameRate1=30&CBR1=off&ImageCodec2=jpeg"
                              "&ImageSize2=640,480&FrameRate2=7.5");
}

} // namespace
} // namespace talvex

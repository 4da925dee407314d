#include "privacy/CSonyPrivacyMaskingHandler.h"

#include "support/FakeDriver.h"
#include "support/Loopback.h"
#include "support/RecordingHttpServer.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace talvex {
namespace {

using test::RecordedAnswer;
using test::RecordedRequest;

// The host's zone list: percent rectangles in order.
class ZoneList : public ipcapture::IPrivacyZoneList {
public:
    explicit ZoneList(const std::vector<std::array<float, 4>>& zones) {
        for (const auto& zone : zones)
            m_zones.emplace_back(int32_t(m_zones.size()), zone[0], zone[1], zone[2], zone[3]);
    }
    ipcapture::IPrivacyZone* GetZone(uint32_t index) override {
        return index < m_zones.size() ? &m_zones[index] : nullptr;
    }

private:
    std::vector<CPrivacyZone> m_zones;
};

const std::string kGeneration4Masks = "PrivacyMaskPosition=1,0,0,0,0,2,0,0,0,0,3,65,49,320,240,4,0,0,0,0,"
                                      "5,0,0,0,0,6,0,0,0,0,7,0,0,0,0,8,0,0,0,0\r\nPrivacyMonitor=3,5\r\n";

class MaskingCamera : public ::testing::Test {
protected:
    // The camera answers inquiries with inquiryStatus and inquiry, and writes with writeStatus.
    std::vector<std::string> Apply(const std::vector<std::array<float, 4>>& zones, bool* result = nullptr) {
        driver.m_device.port = server.Port();
        CSonyPrivacyMaskingHandler handler(&driver, stop);
        ZoneList list(zones);
        handler.SetZones(&list);
        const bool applied = handler.Apply(640, 480);
        if (result)
            *result = applied;
        return server.Lines();
    }

    uint32_t inquiryStatus = 200;
    uint32_t writeStatus = 200;
    std::string inquiry = kGeneration4Masks;
    test::RecordingHttpServer server{[this](const RecordedRequest& request) {
        const bool isInquiry = request.target.find("inquiry.cgi") != std::string::npos;
        return isInquiry ? RecordedAnswer{inquiryStatus, inquiry} : RecordedAnswer{writeStatus, ""};
    }};
    test::FakeDriver driver;
    CManualEvent stop;

    void SetUp() override {
        driver.m_device.generation = 4;
        driver.m_parameters = {{5, "1"}, {6, "640x480"}};
    }
};

TEST_F(MaskingCamera, SwitchesEachMaskOnlyWhereItDiffers) {
    EXPECT_EQ(Apply({{10, 10, 50, 50}, {0, 0, 100, 100}, {10, 10, 50, 50}}),
              (std::vector<std::string>{
                  "GET /command/inquiry.cgi?inq=fcb",
                  "GET /command/camera.cgi?PrivacyMaskPosition=1,65,49,320,240&PrivacyDispEach=1,on",
                  "GET /command/camera.cgi?PrivacyMaskPosition=2,1,1,640,480&PrivacyDispEach=2,on",
                  "GET /command/camera.cgi?PrivacyDispEach=5,off",
              }));
}

TEST_F(MaskingCamera, SwitchesOffShownMasksBeyondAGapInTheNumbers) {
    inquiry = "PrivacyMaskPosition=1,65,49,320,240,4,0,0,0,0&PrivacyMonitor=1,4";
    EXPECT_EQ(Apply({{10, 10, 50, 50}}), (std::vector<std::string>{
                                             "GET /command/inquiry.cgi?inq=fcb",
                                             "GET /command/camera.cgi?PrivacyDispEach=4,off",
                                         }));
}

// A generation 7 camera with three polygon masks; the first covers the whole picture.
const std::string kGeneration7Masks =
    "PrivacyMaxNum=3&PrivacyMaskVertex1=0,0,1919,0,1919,1079,0,1079&PrivacyMaskVertex2=1,1,5,1,5,5,1,5"
    "&PrivacyMaskVertex3=1,1,5,1,5,5,1,5&PrivacyDisplay=";

struct DisplayListCase {
    const char* name;
    const char* shown;
    std::vector<std::array<float, 4>> zones;
    std::vector<std::string> writes;
};

class DisplayListTest : public MaskingCamera, public ::testing::WithParamInterface<DisplayListCase> {};

TEST_P(DisplayListTest, SentWholeOnlyWhenItChanges) {
    driver.m_device.generation = 7;
    driver.m_parameters[6] = "1920x1080";
    inquiry = kGeneration7Masks + GetParam().shown;
    std::vector<std::string> expected{"GET /command/inquiry.cgi?inq=masking"};
    for (const std::string& write : GetParam().writes)
        expected.push_back("GET /command/masking.cgi?" + write);
    EXPECT_EQ(Apply(GetParam().zones), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, DisplayListTest,
    ::testing::Values(
        DisplayListCase{"NewMaskShownOtherHidden", "1,3", {{0, 0, 100, 100}, {50, 50, 50, 50}},
                        {"PrivacyMaskVertex2=960,540,1919,540,1919,1079,960,1079", "PrivacyDisplay=1,2"}},
        DisplayListCase{"Unchanged", "1", {{0, 0, 100, 100}}, {}},
        DisplayListCase{"NoZonesHideAll", "2", {}, {"PrivacyDisplay="}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MaskingCamera, WithoutPrivacySupportNothingIsAsked) {
    driver.m_parameters[5] = "0";
    bool applied = false;
    EXPECT_TRUE(Apply({{10, 10, 50, 50}}, &applied).empty());
    EXPECT_TRUE(applied);
    EXPECT_TRUE(driver.HasLine(2, "property 5"));
}

struct ResultCase {
    const char* name;
    uint32_t inquiryStatus;
    std::string inquiry;
    uint32_t writeStatus;
    bool applied;
};

class ApplyResultTest : public MaskingCamera, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ApplyResultTest, FalseOnlyWhenTheCameraAnsweredNothing) {
    inquiryStatus = GetParam().inquiryStatus;
    inquiry = GetParam().inquiry;
    writeStatus = GetParam().writeStatus;
    bool applied = !GetParam().applied;
    Apply({{10, 10, 50, 50}}, &applied);
    EXPECT_EQ(applied, GetParam().applied);
}

INSTANTIATE_TEST_SUITE_P(Camera, ApplyResultTest,
                         ::testing::Values(ResultCase{"MasksWritten", 200, kGeneration4Masks, 200, true},
                                           ResultCase{"InquiryRefused", 500, kGeneration4Masks, 200, true},
                                           ResultCase{"EmptyInquiry", 200, "", 200, true},
                                           ResultCase{"WriteRefused", 200, kGeneration4Masks, 403, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MaskingWithoutCamera, FailsSoThatTheChannelTriesAgain) {
    test::FakeDriver driver("127.0.0.1", test::UnusedLoopbackPort());
    driver.m_device.generation = 4;
    driver.m_parameters = {{5, "1"}, {6, "640x480"}};
    CManualEvent stop;
    CSonyPrivacyMaskingHandler handler(&driver, stop);
    ZoneList list({{10, 10, 50, 50}});
    handler.SetZones(&list);
    EXPECT_FALSE(handler.Apply(640, 480));
    EXPECT_FALSE(handler.Apply(640, 480));
    EXPECT_EQ(test::CountLines(driver, "Cannot send request"), 1u);
}

} // namespace
} // namespace talvex

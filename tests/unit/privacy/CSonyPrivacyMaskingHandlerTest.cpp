#include "privacy/CSonyPrivacyMaskingHandler.h"

#include "support/FakeDriver.h"
#include "support/Loopback.h"
#include "support/RecordingHttpServer.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace talvex {
namespace {

using test::RecordedAnswer;
using Zones = std::vector<std::array<float, 4>>;

// The host's zone list: percent rectangles in order.
class ZoneList : public ipcapture::IPrivacyZoneList {
public:
    explicit ZoneList(const Zones& zones) {
        for (const auto& zone : zones)
            m_zones.emplace_back(int32_t(m_zones.size()), zone[0], zone[1], zone[2], zone[3]);
    }
    ipcapture::IPrivacyZone* GetZone(uint32_t index) override {
        return index < m_zones.size() ? &m_zones[index] : nullptr;
    }

private:
    std::vector<CPrivacyZone> m_zones;
};

// Eight rectangle masks on a 640 x 480 reference; 3 is shown at 10,10,50,50 percent, 5 is shown too.
const std::string kGeneration4Masks = "PrivacyMaskPosition=1,0,0,0,0,2,0,0,0,0,3,65,49,320,240,4,0,0,0,0,"
                                      "5,0,0,0,0,6,0,0,0,0,7,0,0,0,0,8,0,0,0,0\r\nPrivacyMonitor=3,5\r\n";
// Three polygon masks on 1920 x 1080; the first covers the whole picture.
const std::string kGeneration7Masks =
    "PrivacyMaxNum=3&PrivacyMaskVertex1=0,0,1919,0,1919,1079,0,1079&PrivacyMaskVertex2=1,1,5,1,5,5,1,5"
    "&PrivacyMaskVertex3=1,1,5,1,5,5,1,5&PrivacyDisplay=";

class MaskingCamera : public ::testing::Test {
protected:
    // The handler is made at the first call, for the camera of that call.
    bool Apply(const Zones& zones, uint32_t generation = 4, bool reachable = true) {
        if (!handler) {
            driver.m_device.generation = generation;
            driver.m_device.port = reachable ? server.Port() : test::UnusedLoopbackPort();
            driver.m_parameters[6] = generation == 7 ? "1920x1080" : "640x480";
            handler.emplace(&driver, stop);
        }
        ZoneList list(zones);
        handler->SetZones(&list);
        return handler->Apply();
    }

    uint32_t inquiryStatus = 200;
    uint32_t writeStatus = 200;
    std::string inquiry = kGeneration4Masks;
    test::RecordingHttpServer server{[this](const test::RecordedRequest& request) {
        const bool isInquiry = request.target.find("inquiry.cgi") != std::string::npos;
        return isInquiry ? RecordedAnswer{inquiryStatus, inquiry} : RecordedAnswer{writeStatus, ""};
    }};
    test::FakeDriver driver;
    CManualEvent stop;
    std::optional<CSonyPrivacyMaskingHandler> handler;

    void SetUp() override { driver.m_parameters = {{5, "1"}}; }
};

// The camera's masks and answers, the host's zones, and what is written after the inquiry.
struct MaskCase {
    const char* name;
    uint32_t generation;
    std::string inquiry;
    Zones zones;
    std::vector<std::string> requests;
    uint32_t inquiryStatus = 200;
    uint32_t writeStatus = 200;
    bool reachable = true;
    bool applied = true; // false only when the camera answered nothing
};

void PrintTo(const MaskCase& value, std::ostream* out) { *out << value.name; }

class MaskWrites : public MaskingCamera, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(MaskWrites, WritesOnlyWhatDiffers) {
    const MaskCase& row = GetParam();
    inquiry = row.inquiry;
    inquiryStatus = row.inquiryStatus;
    writeStatus = row.writeStatus;
    EXPECT_EQ(Apply(row.zones, row.generation, row.reachable), row.applied);
    std::vector<std::string> requests = server.Lines();
    ASSERT_EQ(requests.empty(), !row.reachable);
    EXPECT_EQ(std::vector<std::string>(requests.begin() + (row.reachable ? 1 : 0), requests.end()), row.requests);
    // A second start repeats no line.
    const size_t lines = driver.Lines().size();
    Apply(row.zones, row.generation, row.reachable);
    EXPECT_EQ(driver.Lines().size(), lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, MaskWrites,
    ::testing::Values(
        MaskCase{"EachMaskSwitched", 4, kGeneration4Masks, {{10, 10, 50, 50}, {0, 0, 100, 100}, {10, 10, 50, 50}},
                 {"GET /command/camera.cgi?PrivacyMaskPosition=1,65,49,320,240&PrivacyDispEach=1,on",
                  "GET /command/camera.cgi?PrivacyMaskPosition=2,1,1,640,480&PrivacyDispEach=2,on",
                  "GET /command/camera.cgi?PrivacyDispEach=5,off"}},
        MaskCase{"ShownMaskBeyondAGapSwitchedOff", 4, "PrivacyMaskPosition=1,65,49,320,240,4,0,0,0,0&PrivacyMonitor=1,4", {{10, 10, 50, 50}}, {"GET /command/camera.cgi?PrivacyDispEach=4,off"}},
        MaskCase{"FormUnknownLeavesCameraMasks", 1, kGeneration4Masks, {{10, 10, 50, 50}}, {}},
        MaskCase{"DisplayListChanged", 7, kGeneration7Masks + "1,3", {{0, 0, 100, 100}, {50, 50, 50, 50}},
                 {"GET /command/masking.cgi?PrivacyMaskVertex2=960,540,1919,540,1919,1079,960,1079",
                  "GET /command/masking.cgi?PrivacyDisplay=1,2"}},
        MaskCase{"DisplayListUnchanged", 7, kGeneration7Masks + "1", {{0, 0, 100, 100}}, {}},
        MaskCase{"NoZonesHideAll", 7, kGeneration7Masks + "2", {}, {"GET /command/masking.cgi?PrivacyDisplay="}},
        MaskCase{"InquiryRefused", 4, kGeneration4Masks, {{10, 10, 50, 50}}, {}, 500},
        MaskCase{"EmptyInquiry", 4, "", {{10, 10, 50, 50}}, {}},
        // The first refused write ends the sequence.
        MaskCase{"WriteRefused", 4, kGeneration4Masks, {{10, 10, 50, 50}}, {"GET /command/camera.cgi?PrivacyMaskPosition=1,65,49,320,240&PrivacyDispEach=1,on"}, 200, 403},
        MaskCase{"NoCamera", 4, kGeneration4Masks, {{10, 10, 50, 50}}, {}, 200, 200, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MaskingCamera, WithoutPrivacySupportNothingIsAsked) {
    driver.m_parameters = {{5, "0"}};
    EXPECT_TRUE(Apply({{10, 10, 50, 50}}));
    EXPECT_TRUE(server.Lines().empty());
    EXPECT_TRUE(driver.HasLine(2, "property 5"));
}

} // namespace
} // namespace talvex

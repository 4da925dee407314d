#include "timesync/CSonySynchroItem.h"

#include "support/FakeDriver.h"
#include "support/LocalZone.h"
#include "support/RecordingHttpServer.h"
#include "timesync/GmTime.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

namespace talvex {
namespace {

using test::RecordedAnswer;
using test::RecordedRequest;

// The camera's GmTime offsetSeconds from the computer's UTC clock.
std::string CameraGmTime(int offsetSeconds) {
    const std::time_t seconds = std::time(nullptr) + offsetSeconds;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[16];
    std::strftime(text, sizeof(text), "%y%m%d%H%M%S0", &utc);
    return text;
}

struct Camera {
    uint32_t generation = 6;
    std::string ntp = "off";
    int offsetSeconds = 0;
    uint32_t inquiryStatus = 200;
    uint32_t setStatus = 200;
};

// A camera on loopback, one check of it under a zone that is not UTC.
class SynchroItemRig {
public:
    explicit SynchroItemRig(const Camera& camera)
        : m_server([camera](const RecordedRequest& request) {
              if (request.target.starts_with("/command/inquiry.cgi"))
                  return RecordedAnswer{camera.inquiryStatus,
                                        "NtpService=" + camera.ntp + "&GmTime=" + CameraGmTime(camera.offsetSeconds)};
              return RecordedAnswer{camera.setStatus, ""};
          }),
          m_device("127.0.0.1", m_server.Port(), "admin", "admin") {
        m_device.generation = camera.generation;
        m_item = std::make_unique<CSonySynchroItem>(m_device, 3600);
        m_item->AddLog(&m_log);
    }
    ~SynchroItemRig() { m_item->RemoveLog(&m_log); }

    CSonySynchroItem& Item() { return *m_item; }
    // "VERB target body" of every request after the inquiries.
    std::vector<std::string> Settings() const {
        std::vector<std::string> lines;
        for (const RecordedRequest& request : m_server.Requests())
            if (!request.target.starts_with("/command/inquiry.cgi"))
                lines.push_back(request.verb + " " + request.target + " " + request.body);
        return lines;
    }
    size_t Inquiries() const { return m_server.Requests().size() - Settings().size(); }
    size_t Warnings() const {
        size_t count = 0;
        for (const test::LogLine& line : m_log.Lines())
            count += line.level == 2;
        return count;
    }

private:
    test::LocalZone m_zone{"America/New_York"};
    test::RecordingHttpServer m_server;
    DEVICE_INFO m_device;
    test::FakeDriver m_log;
    std::unique_ptr<CSonySynchroItem> m_item;
};

struct SetCase {
    const char* name;
    Camera camera;
    std::vector<std::string> settings; // prefixes, up to the time
};

class SynchroItemSetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(SynchroItemSetTest, SetsTheClockOnlyBeyondTheLimit) {
    SynchroItemRig rig(GetParam().camera);
    rig.Item().Check();
    rig.Item().Check(); // within the sync interval of a successful check: nothing
    const std::vector<std::string> settings = rig.Settings();
    ASSERT_EQ(settings.size(), GetParam().settings.size());
    EXPECT_EQ(rig.Inquiries(), 1u);
    for (size_t i = 0; i < settings.size(); ++i)
        EXPECT_TRUE(settings[i].starts_with(GetParam().settings[i])) << settings[i];
    if (settings.empty())
        return;
    const CTime sent = ReadGmTime(settings.back().substr(settings.back().find("GmTime=") + 7));
    EXPECT_LE(std::llabs(int64_t(sent.Value() - CTime::Now().Value())), 3 * 10000000LL) << settings.back();
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, SynchroItemSetTest,
    ::testing::Values(
        SetCase{"WithinLimit", {6, "off", 3}, {}},
        SetCase{"WithinLimitNtpOnGeneration5", {5, "on", -3}, {}},
        SetCase{"MinuteAhead", {6, "off", 60}, {"GET /command/system.cgi?GmTime="}},
        SetCase{"MinuteBehindNtpOn", {2, "on", -60}, {"GET /command/system.cgi?NtpService=off&GmTime="}},
        SetCase{"MinuteAheadGeneration5", {5, "off", 60}, {"POST /command/etc.cgi GmTime="}},
        SetCase{"MinuteAheadNtpOnGeneration5",
                {5, "on", 60},
                {"POST /command/system.cgi NtpService=off", "POST /command/etc.cgi GmTime="}},
        SetCase{"ZoneOffsetAhead", {6, "off", -5 * 3600}, {"GET /command/system.cgi?GmTime="}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    Camera camera;
};

class SynchroItemFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SynchroItemFaultTest, FailedCheckIsRetriedAndToldOnce) {
    SynchroItemRig rig(GetParam().camera);
    rig.Item().Check();
    rig.Item().Check();
    EXPECT_EQ(rig.Inquiries(), 2u);
    EXPECT_EQ(rig.Warnings(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, SynchroItemFaultTest,
                         ::testing::Values(FaultCase{"InquiryRefused", {6, "off", 0, 500, 200}},
                                           FaultCase{"SettingRefused", {6, "off", 60, 200, 403}},
                                           FaultCase{"NtpSwitchRefused", {5, "on", 60, 200, 500}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex

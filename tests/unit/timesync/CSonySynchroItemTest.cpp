#include "timesync/CSonySynchroItem.h"

#include "support/FakeDriver.h"
#include "support/LocalZone.h"
#include "support/RecordingHttpServer.h"
#include "timesync/GmTime.h"

#include <gtest/gtest.h>

#include <ctime>
#include <ostream>

namespace talvex {
namespace {

struct Camera {
    uint32_t generation;
    const char* ntp;
    int offsetSeconds; // camera clock minus UTC
    uint32_t inquiryStatus = 200;
    uint32_t setStatus = 200;
};

// Two checks of one camera on loopback, on a computer whose zone is not UTC:
// the inquiries and the other requests as "VERB target body", and the log.
struct CheckedTwice {
    explicit CheckedTwice(const Camera& camera) {
        test::LocalZone zone("America/New_York");
        test::RecordingHttpServer server([&](const test::RecordedRequest& request) {
            if (!request.target.starts_with("/command/inquiry.cgi?inq=system"))
                return test::RecordedAnswer{camera.setStatus, ""};
            const std::time_t seconds = std::time(nullptr) + camera.offsetSeconds;
            char gmTime[16];
            std::strftime(gmTime, sizeof(gmTime), "%y%m%d%H%M%S0", std::gmtime(&seconds));
            const std::string answer = std::string("NtpService=") + camera.ntp + "&GmTime=" + gmTime;
            return test::RecordedAnswer{camera.inquiryStatus, answer};
        });
        DEVICE_INFO device("127.0.0.1", server.Port(), "admin", "admin");
        device.generation = camera.generation;
        CSonySynchroItem item(device, 3600);
        item.AddLog(&log);
        item.Check();
        item.Check();
        item.RemoveLog(&log);
        for (const test::RecordedRequest& request : server.Requests())
            (request.target.starts_with("/command/inquiry.cgi") ? inquiries : settings)
                .push_back(request.verb + " " + request.target + " " + request.body);
    }
    std::vector<std::string> inquiries;
    std::vector<std::string> settings;
    test::FakeDriver log;
};

struct SetCase {
    const char* name;
    Camera camera;
    std::vector<std::string> settings; // up to the time
};

void PrintTo(const SetCase& value, std::ostream* out) { *out << value.name; }

class SynchroItemSetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(SynchroItemSetTest, SetsTheClockOnlyBeyondTheLimitAndNotAgainWithinTheInterval) {
    const CheckedTwice checked(GetParam().camera);
    EXPECT_EQ(checked.inquiries.size(), 1u);
    ASSERT_EQ(checked.settings.size(), GetParam().settings.size());
    for (size_t i = 0; i < checked.settings.size(); ++i)
        EXPECT_TRUE(checked.settings[i].starts_with(GetParam().settings[i])) << checked.settings[i];
    if (checked.settings.empty())
        return;
    const std::string& last = checked.settings.back();
    const CTime sent = ReadGmTime(last.substr(last.find("GmTime=") + 7));
    EXPECT_LE(std::llabs(int64_t(sent.Value() - CTime::Now().Value())), 3 * 10000000LL) << last;
}

const auto kByName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(
    Cameras, SynchroItemSetTest,
    ::testing::Values(
        SetCase{"WithinLimit", {6, "off", 3}, {}},
        SetCase{"WithinLimitNtpOnGeneration5", {5, "on", -3}, {}},
        SetCase{"MinuteBehindNtpOn", {2, "on", -60}, {"GET /command/system.cgi?NtpService=off&GmTime="}},
        SetCase{"ZoneOffsetBehind", {6, "off", -5 * 3600}, {"GET /command/system.cgi?GmTime="}},
        SetCase{"MinuteAheadGeneration5", {5, "off", 60}, {"POST /command/etc.cgi GmTime="}},
        SetCase{"MinuteAheadNtpOnGeneration5",
                {5, "on", 60},
                {"POST /command/system.cgi NtpService=off", "POST /command/etc.cgi GmTime="}}),
    kByName);

struct FaultCase {
    const char* name;
    Camera camera;
};

void PrintTo(const FaultCase& value, std::ostream* out) { *out << value.name; }

class SynchroItemFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SynchroItemFaultTest, FailedCheckIsRetriedAndToldOnce) {
    const CheckedTwice checked(GetParam().camera);
    EXPECT_EQ(checked.inquiries.size(), 2u);
    EXPECT_EQ(checked.log.Lines().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, SynchroItemFaultTest,
                         ::testing::Values(FaultCase{"InquiryRefused", {6, "off", 0, 500}},
                                           FaultCase{"SettingRefused", {6, "off", 60, 200, 403}},
                                           FaultCase{"NtpSwitchRefused", {5, "on", 60, 200, 500}}),
                         kByName);

} // namespace
} // namespace talvex

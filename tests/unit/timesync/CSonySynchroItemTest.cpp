#include "timesync/CSonySynchroItem.h"
#include "timesync/CSonyTimeProvider.h"

#include "driver/CSonyIPCaptureDriver.h"
#include "support/FakeDriver.h"
#include "support/LocalZone.h"
#include "support/RecordingHttpServer.h"
#include "support/WaitUntil.h"
#include "timesync/GmTime.h"
#include "unit/driver/FakeHostObjects.h"

#include <gtest/gtest.h>

#include <ctime>
#include <ostream>

namespace talvex {
namespace {

using namespace std::chrono_literals;

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

const auto kByName = [](const auto& info) { return std::string(info.param.name); };

// What two checks of the camera send up to the time; a failed check is tried
// again at the second and told once.
struct CheckCase {
    const char* name;
    Camera camera;
    std::vector<std::string> settings;
    size_t inquiries = 1;
    size_t logLines = 0;
};

void PrintTo(const CheckCase& value, std::ostream* out) { *out << value.name; }

class SynchroItemTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(SynchroItemTest, SetsTheClockOnlyBeyondTheLimitAndNotAgainWithinTheInterval) {
    const CheckedTwice checked(GetParam().camera);
    EXPECT_EQ(checked.inquiries.size(), GetParam().inquiries);
    EXPECT_EQ(checked.log.Lines().size(), GetParam().logLines);
    ASSERT_EQ(checked.settings.size(), GetParam().settings.size());
    for (size_t i = 0; i < checked.settings.size(); ++i)
        EXPECT_TRUE(checked.settings[i].starts_with(GetParam().settings[i])) << checked.settings[i];
    if (checked.settings.empty() || GetParam().inquiries > 1)
        return;
    const std::string& last = checked.settings.back();
    const CTime sent = ReadGmTime(last.substr(last.find("GmTime=") + 7));
    EXPECT_LE(std::llabs(int64_t(sent.Value() - CTime::Now().Value())), 3 * 10000000LL) << last;
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, SynchroItemTest,
    ::testing::Values(
        CheckCase{"WithinLimit", {6, "off", 3}, {}},
        CheckCase{"WithinLimitNtpOnGeneration5", {5, "on", -3}, {}},
        CheckCase{"MinuteBehindNtpOn", {2, "on", -60}, {"GET /command/system.cgi?NtpService=off&GmTime="}, 1, 1},
        CheckCase{"ZoneOffsetBehind", {6, "off", -5 * 3600}, {"GET /command/system.cgi?GmTime="}, 1, 1},
        CheckCase{"MinuteAheadGeneration5", {5, "off", 60}, {"POST /command/etc.cgi GmTime="}, 1, 1},
        CheckCase{"MinuteAheadNtpOnGeneration5", {5, "on", 60}, {"POST /command/system.cgi NtpService=off", "POST /command/etc.cgi GmTime="}, 1, 1},
        CheckCase{"InquiryRefused", {6, "off", 0, 500}, {}, 2, 1},
        CheckCase{"SettingRefused", {6, "off", 60, 200, 403}, {"GET /command/system.cgi?GmTime=", "GET /command/system.cgi?GmTime="}, 2, 1},
        CheckCase{"NtpSwitchRefused", {5, "on", 60, 200, 500}, {"POST /command/system.cgi NtpService=off", "POST /command/system.cgi NtpService=off"}, 2, 1}),
    kByName);


CTime FromUnixSeconds(int64_t seconds) {
    return seconds < 0 ? CTime() : CTime(CTime::kUnixEpochOffset + uint64_t(seconds) * 10000000ULL);
}

// The camera's value and the time it stands for (-1: none); every row runs
// on a computer whose zone is not UTC.
struct GmTimeCase {
    const char* name;
    const char* value;
    int64_t unixSeconds;
};

void PrintTo(const GmTimeCase& value, std::ostream* out) { *out << value.name; }

class ReadGmTimeTest : public ::testing::TestWithParam<GmTimeCase> {
    test::LocalZone m_zone{"America/New_York"};
};
class WriteGmTimeTest : public ReadGmTimeTest {};

TEST_P(ReadGmTimeTest, ReadsTheValueAsUtc) {
    EXPECT_EQ(ReadGmTime(GetParam().value), FromUnixSeconds(GetParam().unixSeconds));
}

TEST_P(WriteGmTimeTest, AdvancesTwoSecondsOnlyWithinTheMinute) {
    EXPECT_EQ(WriteGmTime(FromUnixSeconds(GetParam().unixSeconds)), GetParam().value);
}


INSTANTIATE_TEST_SUITE_P(Values, ReadGmTimeTest,
                         ::testing::Values(GmTimeCase{"WithWeekday", "2612062105300", 1796591130},
                                           GmTimeCase{"WithoutWeekday", "261206210530", 1796591130},
                                           GmTimeCase{"ElevenDigits", "26120621053", -1},
                                           GmTimeCase{"Letter", "2612062105x0", -1},
                                           GmTimeCase{"February31", "260231120000", -1},
                                           GmTimeCase{"Hour24", "261206240000", -1}),
                         kByName);

// 2026-12-06 12:00:SS UTC.
INSTANTIATE_TEST_SUITE_P(Seconds, WriteGmTimeTest,
                         ::testing::Values(GmTimeCase{"Second0", "2612061200020", 1796558400},
                                           GmTimeCase{"Second56", "2612061200580", 1796558456},
                                           GmTimeCase{"Second57", "2612061200570", 1796558457},
                                           GmTimeCase{"Second59", "2612061200590", 1796558459}),
                         kByName);


// A camera on loopback; a held one answers only when the test ends.
struct LoopbackCamera {
    explicit LoopbackCamera(bool hold = false)
        : server([this, hold](const test::RecordedRequest&) {
              if (hold)
                  server.Hold();
              return test::RecordedAnswer{200, "NtpService=off&GmTime=0001010000000"};
          }) {}
    DEVICE_INFO Device(const char* address = "127.0.0.1") const {
        return DEVICE_INFO(address, server.Port(), "admin", "admin");
    }
    test::RecordingHttpServer server;
};

struct KeyCase {
    const char* name;
    const char* otherAddress;
    bool otherPort;
    uint32_t countOfFirst;
};

void PrintTo(const KeyCase& value, std::ostream* out) { *out << value.name; }

class TimeProviderKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(TimeProviderKeyTest, OneItemPerResolvedAddressAndPort) {
    LoopbackCamera camera;
    LoopbackCamera otherCamera;
    const LoopbackCamera& second = GetParam().otherPort ? otherCamera : camera;
    const std::string first = CSonyTimeProvider::Register(camera.Device(), nullptr);
    const std::string other = CSonyTimeProvider::Register(second.Device(GetParam().otherAddress), nullptr);
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(first), GetParam().countOfFirst);
    CSonyTimeProvider::Unregister(first, nullptr);
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(other), 1u);
    CSonyTimeProvider::Unregister(other, nullptr);
    CSonyTimeProvider::Unregister(other, nullptr); // one more: harmless
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(first), 0u);
}

INSTANTIATE_TEST_SUITE_P(Devices, TimeProviderKeyTest,
                         ::testing::Values(KeyCase{"HostNameOfTheAddress", "localhost", false, 2},
                                           KeyCase{"OtherPort", "127.0.0.1", true, 1}),
                         kByName);

TEST(TimeProviderTest, NewCameraIsCheckedAtOnceAndItsRemovalEndsTheCheck) {
    LoopbackCamera camera(true);
    const std::string key = CSonyTimeProvider::Register(camera.Device(), nullptr);
    EXPECT_TRUE(test::WaitUntil([&] { return camera.server.Requests().size() == 1; }, 5000ms));
    const auto start = std::chrono::steady_clock::now();
    CSonyTimeProvider::Unregister(key, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(TimeProviderTest, DriverWithoutEdgeStorageLeavesTheOthersRegistration) {
    LoopbackCamera camera;
    fennwick_test::RecordingDebugSink sink;
    fennwick_test::FakeDeviceSettings settings[2];
    CSonyIPCaptureDriver drivers[2] = {CSonyIPCaptureDriver(HostVersion{6, 3, 0, 0}), CSonyIPCaptureDriver(HostVersion{6, 3, 0, 0})};
    for (uint32_t index = 0; index < 2; ++index) {
        settings[index].port = camera.Device().port;
        for (uint32_t id = 3; id <= 10; ++id) // the host hands out properties up to the first it lacks
            settings[index].parameters[id] = "";
        settings[index].parameters[11] = index == 0 ? "1" : "0";
        ASSERT_TRUE(drivers[index].Open(&sink, nullptr, &settings[index]));
    }
    const std::string key = CSonyTimeProvider::DeviceKey(camera.Device());
    drivers[1].Close();
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(key), 1u);
    drivers[0].Close();
    EXPECT_EQ(CSonyTimeProvider::RegistrationCount(key), 0u);
}

} // namespace
} // namespace talvex

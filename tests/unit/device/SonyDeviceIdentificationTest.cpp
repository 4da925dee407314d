#include "device/SonyDeviceIdentification.h"

#include "common/CEvent.h"
#include "unit/http/CamsimFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <thread>

namespace talvex::test {
namespace {

class SonyDeviceIdentificationTest : public CamsimFixture {
protected:
    bool Identify(Web::CHttpSender& http) {
        return IdentifySonyDevice(http, m_stop, m_info, m_answer, m_reason);
    }
    bool Identify() {
        Web::CHttpSender http(Device());
        return Identify(http);
    }

    CManualEvent m_stop;
    CSonyDeviceInfo m_info;
    std::string m_answer;
    uint32_t m_reason = 99;
};

TEST_F(SonyDeviceIdentificationTest, NewerModelAnswersTheSystemInquiry) {
    StartCamera("SNC-VB770", camsim::AuthMode::Digest);
    ASSERT_TRUE(Identify());
    EXPECT_EQ(m_info.GetGeneration(), 7u);
    EXPECT_EQ(m_reason, uint32_t(kIdentificationNoFailure));
    EXPECT_EQ(m_answer, *m_camera->State().Inquiry({"system", "camera"}));
    EXPECT_EQ(Http().Requests().back().target, "/command/inquiry.cgi?inq=system&inq=camera");
}

TEST_F(SonyDeviceIdentificationTest, FirstGenerationFallsBackToSysinfo) {
    StartCamera("SNC-Z20N", camsim::AuthMode::Basic);
    ASSERT_TRUE(Identify());
    EXPECT_EQ(m_info.GetGeneration(), 1u);
    EXPECT_EQ(m_reason, uint32_t(kIdentificationOtherFailure)); // the 404 of the first path is kept
    EXPECT_EQ(Http().Requests().back().target, "/command/inquiry.cgi?inq=sysinfo&inq=camera");
}

TEST_F(SonyDeviceIdentificationTest, CommandsChangeWhatIsIdentified) {
    StartCamera("SNC-VB770", camsim::AuthMode::Digest);
    Web::CHttpSender http(Device());
    Web::HttpRequest command;
    command.path = "/command/camera.cgi?OperationMode=fullsize";
    ASSERT_TRUE(http.Send(command));
    ASSERT_EQ(http.GetStatusCode(), 200u);
    ASSERT_TRUE(Identify(http));
    EXPECT_EQ(m_info.GetOperationMode(), "fullsize");
}

// A camera that refuses the identification, and the reason given for it.
struct RefusalRow {
    const char* name;
    const char* password;
    bool closeWithoutAnswer;
    uint32_t status;
    uint32_t reason;
};

void PrintTo(const RefusalRow& row, std::ostream* out) { *out << row.name; }

class IdentificationRefused : public SonyDeviceIdentificationTest, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(IdentificationRefused, GivesItsReason) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    camsim::HttpFaults faults;
    faults.closeWithoutAnswer = GetParam().closeWithoutAnswer;
    faults.status = GetParam().status;
    Http().SetFaults(faults);
    Web::CHttpSender http(Device(GetParam().password));
    EXPECT_FALSE(Identify(http));
    EXPECT_EQ(m_reason, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, IdentificationRefused,
    ::testing::Values(RefusalRow{"RefusedCredentials", "wrong", false, 0, kIdentificationCredentialsRefused},
                      RefusalRow{"NoAnswer", "secret", true, 0, kIdentificationNoAnswer},
                      RefusalRow{"OtherStatus", "secret", false, 500, kIdentificationOtherFailure}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SonyDeviceIdentificationTest, SetStopEventSendsNothing) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    m_stop.Set();
    EXPECT_FALSE(Identify());
    EXPECT_TRUE(Http().Requests().empty());
}

TEST_F(SonyDeviceIdentificationTest, StopEndsAWaitForASlowCamera) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.delayMs = 20000;
    Http().SetFaults(faults);
    DEVICE_INFO device = Device();
    device.firstTimeoutMs = 30000;
    Web::CHttpSender http(device);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_stop.Set();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Identify(http));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
} // namespace talvex::test

#include "http/HUtils.h"

#include "unit/http/CamsimFixture.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

class HUtilsTest : public CamsimFixture {};

// Success leaves code 3 and the body; an empty answer where a body is wanted
// is an incorrect response, a success where it is not.
TEST_F(HUtilsTest, SuccessLeavesCode3AndTheBody) {
    StartCamera("SNC-DF50P", camsim::AuthMode::Basic);
    Web::CHttpSender sender(Device());
    CResultDef result;
    std::vector<uint8_t> body{9};
    HUtils::RequestGetRD(result, sender, "/command/inquiry.cgi?inq=system", body, true);
    EXPECT_EQ(result.GetCode(), 3u);
    EXPECT_EQ(result.GetDetail(), 0u);
    EXPECT_EQ(result.GetMessage(), "");
    EXPECT_EQ(std::string(body.begin(), body.end()), *m_camera->State().Inquiry({"system"}));

    std::string text = "prefix:";
    EXPECT_TRUE(HUtils::RequestText(sender, "/command/inquiry.cgi?inq=sensor", text));
    EXPECT_EQ(text, "prefix:Sensor=0");
    EXPECT_TRUE(HUtils::RequestOk(sender, "/command/camera.cgi?Color=monochrome"));
    EXPECT_EQ(m_camera->State().Value("Color"), "monochrome");

    HUtils::RequestGetRD(result, sender, "/command/camera.cgi?Color=color", body, true);
    EXPECT_EQ(result.GetCode(), 2u);
    EXPECT_EQ(result.GetDetail(), 12u);
    EXPECT_NE(result.GetMessage().find("Incorrect response"), std::string::npos) << result.GetMessage();
    text = "kept";
    EXPECT_FALSE(HUtils::RequestText(sender, "/command/camera.cgi?Color=color", text));
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(HUtils::SendCommand(sender, "/command/camera.cgi?Color=color").GetCode(), 3u);
}

// How a refused or failed request is reported: code, detail, and a message
// naming the cause, the request and the device.
struct FailureCase {
    const char* name;
    const char* model; // nullptr: nothing listens on the port
    camsim::AuthMode auth;
    const char* password;
    uint32_t status;   // camsim answers every request with it (0: off)
    bool closeWithoutAnswer;
    const char* path;
    uint32_t code;
    uint32_t detail;
    const char* cause;
};

void PrintTo(const FailureCase& value, std::ostream* out) { *out << value.name; }

class HUtilsFailureTest : public CamsimFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(HUtilsFailureTest, IsReportedWithItsCodeAndCause) {
    const FailureCase& failure = GetParam();
    DEVICE_INFO device = DeviceAt("127.0.0.1", UnusedLoopbackPort());
    if (failure.model) {
        StartCamera(failure.model, failure.auth);
        camsim::HttpFaults faults;
        faults.status = failure.status;
        faults.closeWithoutAnswer = failure.closeWithoutAnswer;
        Http().SetFaults(faults);
        device = Device(failure.password);
    }
    Web::CHttpSender sender(device);
    const CResultDef result = HUtils::SendCommand(sender, failure.path);
    EXPECT_EQ(result.GetCode(), failure.code);
    EXPECT_EQ(result.GetDetail(), failure.detail);
    const std::string message = result.GetMessage();
    EXPECT_NE(message.find(failure.cause), std::string::npos) << message;
    EXPECT_NE(message.find(std::string("\"") + failure.path + "\""), std::string::npos) << message;
    EXPECT_NE(message.find("device 127.0.0.1:" + std::to_string(device.port)), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, HUtilsFailureTest,
    ::testing::Values(
        FailureCase{"DigestRefused", "SNC-VB630", camsim::AuthMode::Digest, "wrong", 0, false,
                    "/command/camera.cgi?Color=color", 1, 10, "credentials are invalid"},
        FailureCase{"BasicRefused", "SNC-RZ25N", camsim::AuthMode::Basic, "wrong", 0, false,
                    "/command/inquiry.cgi?inq=system", 1, 10, "credentials are invalid"},
        FailureCase{"NotFound", "SNC-CH210", camsim::AuthMode::Digest, "secret", 0, false, "/command/nothing.cgi", 1,
                    9, "was not found"},
        FailureCase{"OtherStatus", "SNC-CH210", camsim::AuthMode::None, "secret", 503, false,
                    "/command/inquiry.cgi?inq=camera", 1, 8, "HTTP status code is 503"},
        FailureCase{"NoAnswer", "SNC-CH210", camsim::AuthMode::None, "secret", 0, true,
                    "/command/inquiry.cgi?inq=camera", 4, 11, "Cannot send request"},
        FailureCase{"NoServer", nullptr, camsim::AuthMode::None, "secret", 0, false, "/command/inquiry.cgi?inq=system",
                    4, 11, "Cannot send request"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex::test

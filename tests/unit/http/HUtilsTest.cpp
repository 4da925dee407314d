#include "http/HUtils.h"

#include "unit/http/CamsimFixture.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

class HUtilsTest : public CamsimFixture {
protected:
    std::string DeviceText() const { return "device 127.0.0.1:" + std::to_string(m_camera->Http().Port()); }
};

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
}

TEST_F(HUtilsTest, InvalidCredentials) {
    StartCamera("SNC-VB630", camsim::AuthMode::Digest);
    Web::CHttpSender sender(Device("wrong"));
    const CResultDef result = HUtils::SendCommand(sender, "/command/camera.cgi?Color=color");
    EXPECT_EQ(result.GetCode(), 1u);
    EXPECT_EQ(result.GetDetail(), 10u);
    EXPECT_EQ(result.GetMessage(), "talvex::HUtils::RequestGetRD: " + DeviceText() +
                                       " is unable to process \"/command/camera.cgi?Color=color\" request: "
                                       "credentials are invalid");
}

TEST_F(HUtilsTest, InvalidCredentialsOnABasicCamera) {
    StartCamera("SNC-RZ25N", camsim::AuthMode::Basic);
    Web::CHttpSender sender(Device("wrong"));
    const CResultDef result = HUtils::SendCommand(sender, "/command/inquiry.cgi?inq=system");
    EXPECT_EQ(result.GetCode(), 1u);
    EXPECT_EQ(result.GetDetail(), 10u);
}

TEST_F(HUtilsTest, NotFound) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    Web::CHttpSender sender(Device());
    const CResultDef result = HUtils::SendCommand(sender, "/command/nothing.cgi");
    EXPECT_EQ(result.GetCode(), 1u);
    EXPECT_EQ(result.GetDetail(), 9u);
    EXPECT_EQ(result.GetMessage(), "talvex::HUtils::RequestGetRD: The \"/command/nothing.cgi\" URL was not found on " +
                                       DeviceText());
    EXPECT_FALSE(HUtils::RequestOk(sender, "/command/nothing.cgi"));
}

TEST_F(HUtilsTest, OtherStatus) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.status = 503;
    Http().SetFaults(faults);
    Web::CHttpSender sender(Device());
    const CResultDef result = HUtils::SendCommand(sender, "/command/inquiry.cgi?inq=camera");
    EXPECT_EQ(result.GetCode(), 1u);
    EXPECT_EQ(result.GetDetail(), 8u);
    EXPECT_EQ(result.GetMessage(), "talvex::HUtils::RequestGetRD: " + DeviceText() +
                                       " is unable to process \"/command/inquiry.cgi?inq=camera\" request. HTTP "
                                       "status code is 503");
}

TEST_F(HUtilsTest, NoAnswer) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.closeWithoutAnswer = true;
    Http().SetFaults(faults);
    Web::CHttpSender sender(Device());
    const CResultDef result = HUtils::SendCommand(sender, "/command/inquiry.cgi?inq=camera");
    EXPECT_EQ(result.GetCode(), 4u);
    EXPECT_EQ(result.GetDetail(), 11u);
    EXPECT_EQ(result.GetMessage(), "talvex::HUtils::RequestGetRD: Cannot send request "
                                   "\"/command/inquiry.cgi?inq=camera\" to " +
                                       DeviceText());
}

TEST_F(HUtilsTest, NoServer) {
    const uint16_t port = UnusedLoopbackPort();
    DEVICE_INFO device("127.0.0.1", port, "admin", "secret");
    device.firstTimeoutMs = kTimeoutMs;
    Web::CHttpSender sender(device);
    const CResultDef result = HUtils::SendCommand(sender, "/command/inquiry.cgi?inq=system");
    EXPECT_EQ(result.GetCode(), 4u);
    EXPECT_EQ(result.GetDetail(), 11u);
    EXPECT_EQ(result.GetMessage(), "talvex::HUtils::RequestGetRD: Cannot send request "
                                   "\"/command/inquiry.cgi?inq=system\" to device 127.0.0.1:" +
                                       std::to_string(port));
}

TEST_F(HUtilsTest, EmptyBodyWhenTheBodyIsWanted) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    Web::CHttpSender sender(Device());
    CResultDef result;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(result, sender, "/command/camera.cgi?Color=color", body, true);
    EXPECT_EQ(result.GetCode(), 2u);
    EXPECT_EQ(result.GetDetail(), 12u);
    EXPECT_EQ(result.GetMessage(), "talvex::HUtils::RequestGetRD: Incorrect response for request "
                                   "\"/command/camera.cgi?Color=color\" from " +
                                       DeviceText());
    std::string text = "kept";
    EXPECT_FALSE(HUtils::RequestText(sender, "/command/camera.cgi?Color=color", text));
    EXPECT_EQ(text, "kept");
    // Without the body an empty answer is a success.
    EXPECT_EQ(HUtils::SendCommand(sender, "/command/camera.cgi?Color=color").GetCode(), 3u);
}

} // namespace
} // namespace talvex::test

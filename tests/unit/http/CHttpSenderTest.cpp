#include "http/CHttpSender.h"

#include "common/CEvent.h"
#include "unit/http/CamsimFixture.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace talvex::test {
namespace {

using Clock = std::chrono::steady_clock;
using Web::CHttpSender;
using Web::HttpRequest;

HttpRequest Get(const std::string& path) {
    HttpRequest request;
    request.path = path;
    return request;
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Cancel ends a blocked call within 100 ms; the margin covers a loaded CI machine.
constexpr long kCancelMarginMs = 500;

long ElapsedMs(Clock::time_point since) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// A route that sends a head without length and then bytes until the client goes.
void AddEndlessStream(camsim::HttpServer& http, const std::string& path) {
    http.AddRoute(path, [](camsim::HttpExchange& exchange) {
        if (!exchange.SendHead(200, {{"Content-Type", "application/octet-stream"}}))
            return;
        const std::string block(4096, 'x');
        while (!exchange.Stopping() && exchange.SendBytes(block)) {
        }
    });
}

// A route that announces a length, sends `sent` bytes and then waits for the server to stop.
void AddStalledBody(camsim::HttpServer& http, const std::string& path, size_t announced, size_t sent) {
    http.AddRoute(path, [announced, sent](camsim::HttpExchange& exchange) {
        if (!exchange.SendHead(200, {{"Content-Length", std::to_string(announced)}}) ||
            !exchange.SendBytes(std::string(sent, 'y')))
            return;
        while (!exchange.Stopping())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
}

class HttpSenderTest : public CamsimFixture {};

TEST_F(HttpSenderTest, BasicCameraAnswersTheFirstRequest) {
    StartCamera("SNC-CH210", camsim::AuthMode::Basic);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetStatusCode(), 200u);
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), sender.GetContentLength());
    EXPECT_TRUE(Text(body).starts_with("ModelName=SNC-CH210&"));

    const auto requests = Http().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].authScheme, "Basic");
    EXPECT_FALSE(requests[0].secure);
}

TEST_F(HttpSenderTest, DigestIsLearnedFromTheFirst401AndRemembered) {
    StartCamera("SNC-VB630", camsim::AuthMode::Digest);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=camera")));
    EXPECT_EQ(sender.GetStatusCode(), 200u);

    auto requests = Http().Requests();
    ASSERT_EQ(requests.size(), 2u); // Basic refused, then one Digest retry
    EXPECT_EQ(requests[0].authScheme, "Basic");
    EXPECT_EQ(requests[0].status, 401);
    EXPECT_EQ(requests[1].authScheme, "Digest");
    EXPECT_EQ(requests[1].status, 200);

    Http().ClearRequests();
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetStatusCode(), 200u);
    requests = Http().Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().authScheme, "Digest");
    for (const auto& request : requests)
        EXPECT_NE(request.authScheme, "Basic");
}

TEST_F(HttpSenderTest, SecondRefusalEndsWith401) {
    StartCamera("SNC-VB630", camsim::AuthMode::Digest);
    CHttpSender sender(Device("wrong"));
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=camera")));
    EXPECT_EQ(sender.GetStatusCode(), 401u);
    const auto requests = Http().Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().authScheme, "Basic");
    EXPECT_EQ(requests.back().authScheme, "Digest");
    EXPECT_LE(requests.size(), 3u);
}

TEST_F(HttpSenderTest, Port443StartsWithHttps) {
    CHttpSender secure(DEVICE_INFO("127.0.0.1", 443, "", ""));
    EXPECT_TRUE(secure.IsSecure());
    CHttpSender plain(DEVICE_INFO("127.0.0.1", 80, "", ""));
    EXPECT_FALSE(plain.IsSecure());
}

TEST_F(HttpSenderTest, DeviceRefusingPlainHttpIsFoundOverHttpsOnceAndForAll) {
    StartCamera("SNC-VB770", camsim::AuthMode::Digest, true);
    camsim::HttpFaults faults;
    faults.refusePlainHttp = true;
    Http().SetFaults(faults);

    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetStatusCode(), 200u);
    EXPECT_TRUE(sender.IsSecure());
    EXPECT_EQ(Http().RefusedPlainConnections(), 1u);

    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=camera")));
    EXPECT_EQ(sender.GetStatusCode(), 200u);
    EXPECT_EQ(Http().RefusedPlainConnections(), 1u); // straight to HTTPS
    for (const auto& request : Http().Requests())
        EXPECT_TRUE(request.secure);
}

TEST_F(HttpSenderTest, TimeOutIsNotRetriedWithTheOtherProtocol) {
    StartCamera("SNC-CH210", camsim::AuthMode::None, true);
    camsim::HttpFaults faults;
    faults.delayMs = kTimeoutMs * 2;
    Http().SetFaults(faults);

    CHttpSender sender(Device());
    const auto start = Clock::now();
    EXPECT_FALSE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_LT(ElapsedMs(start), long(kTimeoutMs * 2));
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_OPERATION_TIMEDOUT));
    EXPECT_EQ(sender.GetStatusCode(), 0u);
    EXPECT_FALSE(sender.IsSecure());
    const auto requests = WaitForRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].secure);
}

TEST_F(HttpSenderTest, NoServerFailsAfterTryingBothProtocols) {
    DEVICE_INFO device("127.0.0.1", UnusedLoopbackPort(), "admin", "secret");
    device.firstTimeoutMs = kTimeoutMs;
    CHttpSender sender(device);
    EXPECT_FALSE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_COULDNT_CONNECT));
    EXPECT_FALSE(sender.IsSecure());
}

TEST_F(HttpSenderTest, NoContentLeavesLengthZeroAndReadAllReadsNothing) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.status = 204;
    Http().SetFaults(faults);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/command/camera.cgi?Color=color")));
    EXPECT_EQ(sender.GetStatusCode(), 204u);
    EXPECT_EQ(sender.GetContentLength(), 0u);
    std::vector<uint8_t> body{1, 2, 3};
    EXPECT_EQ(sender.ReadAll(body), 0u);
    EXPECT_TRUE(body.empty());
}

TEST_F(HttpSenderTest, ReadAllWithoutLengthStopsAtOneMebibyte) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    AddEndlessStream(Http(), "/endless");
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/endless")));
    EXPECT_EQ(sender.GetContentLength(), 0u);
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), CHttpSender::kDefaultBodyLimit);
    EXPECT_EQ(body.size(), CHttpSender::kDefaultBodyLimit);
}

TEST_F(HttpSenderTest, ReadTimeOutKeepsWhatCame) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    AddStalledBody(Http(), "/stalled", 1000, 400);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/stalled")));
    EXPECT_EQ(sender.GetContentLength(), 1000u);
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), 400u);
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_OPERATION_TIMEDOUT));
}

TEST_F(HttpSenderTest, TruncatedBodyKeepsTheBytesAndTheError) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.truncateBody = true;
    Http().SetFaults(faults);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    const uint32_t announced = sender.GetContentLength();
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), announced / 2);
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_PARTIAL_FILE));
}

TEST_F(HttpSenderTest, ChunksArriveInOrderWithinTheLimit) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=system&inq=camera")));
    std::string text;
    std::vector<uint8_t> chunk;
    while (sender.QueryDataAvailable() > 0 && sender.ReadChunk(chunk, 7, true) > 0) {
        EXPECT_LE(chunk.size(), 7u);
        text += Text(chunk);
    }
    EXPECT_EQ(text.size(), sender.GetContentLength());
    EXPECT_EQ(text, *m_camera->State().Inquiry({"system", "camera"}));
}

TEST_F(HttpSenderTest, CancelFromAnotherThreadEndsAnEndlessRead) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    AddEndlessStream(Http(), "/endless");
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/endless")));
    std::atomic<bool> cancelled{false};
    Clock::time_point cancelledAt;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancelledAt = Clock::now();
        cancelled = true;
        sender.Cancel();
    });
    std::vector<uint8_t> chunk;
    size_t reads = 0;
    while (sender.ReadChunk(chunk, 8192, true) > 0 && reads < 1000000)
        ++reads;
    canceller.join();
    EXPECT_TRUE(cancelled);
    EXPECT_LT(ElapsedMs(cancelledAt), kCancelMarginMs);
    EXPECT_EQ(sender.ReadChunk(chunk, 8192, true), 0u); // the request stays closed
}

TEST_F(HttpSenderTest, CancelEndsABlockedRead) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    AddStalledBody(Http(), "/stalled", 1000, 10);
    DEVICE_INFO device = Device();
    device.firstTimeoutMs = 30000;
    CHttpSender sender(device);
    ASSERT_TRUE(sender.Send(Get("/stalled")));
    std::vector<uint8_t> chunk;
    ASSERT_EQ(sender.ReadChunk(chunk, 100, true), 10u);
    Clock::time_point cancelledAt;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancelledAt = Clock::now();
        sender.Cancel();
    });
    EXPECT_EQ(sender.ReadChunk(chunk, 100, true), 0u);
    canceller.join();
    EXPECT_LT(ElapsedMs(cancelledAt), kCancelMarginMs);
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_ABORTED_BY_CALLBACK));
}

TEST_F(HttpSenderTest, StopEventEndsABlockedRead) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    AddStalledBody(Http(), "/stalled", 1000, 0);
    DEVICE_INFO device = Device();
    device.firstTimeoutMs = 30000;
    CHttpSender sender(device);
    CManualEvent stop;
    sender.WatchStopEvent(&stop);
    ASSERT_TRUE(sender.Send(Get("/stalled")));
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.Set();
    });
    const auto start = Clock::now();
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), 0u);
    stopper.join();
    EXPECT_LT(ElapsedMs(start), 2000);
}

TEST_F(HttpSenderTest, StreamedUploadThenResponse) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    std::string received;
    std::mutex receivedLock;
    Http().AddRoute("/command/audioout", [&](camsim::HttpExchange& exchange) {
        std::string body;
        while (exchange.ReadBody(body, 1000)) {
        }
        {
            std::lock_guard lock(receivedLock);
            received = body;
        }
        exchange.SendResponse(200, "got " + std::to_string(body.size()));
    });
    CHttpSender sender(Device());
    // Learn the camera's scheme first: an upload cannot be repeated after a 401.
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=system")));

    HttpRequest upload;
    upload.verb = "POST";
    upload.path = "/command/audioout";
    upload.headers = {"Content-Type: audio/basic"};
    upload.body.assign(1000, 'a');
    upload.totalLength = 3000;
    ASSERT_TRUE(sender.Send(upload));
    EXPECT_TRUE(sender.WriteData(std::vector<uint8_t>(1000, 'b')));
    EXPECT_TRUE(sender.WriteData(std::vector<uint8_t>(1000, 'c')));
    ASSERT_TRUE(sender.ReceiveResponse());
    EXPECT_EQ(sender.GetStatusCode(), 200u);
    std::vector<uint8_t> answer;
    sender.ReadAll(answer);
    EXPECT_EQ(Text(answer), "got 3000");
    std::lock_guard lock(receivedLock);
    EXPECT_EQ(received, std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c'));
}

TEST_F(HttpSenderTest, ExtraHeadersAndUserAgentReachTheCamera) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    Http().AddRoute("/echo", [](camsim::HttpExchange& exchange) {
        exchange.SendResponse(200, exchange.Head().Header("X-Test") + "|" + exchange.Head().Header("User-Agent") +
                                       "|" + exchange.Head().Header("Cache-Control"));
    });
    CHttpSender sender(Device());
    HttpRequest request = Get("/echo");
    request.headers = {"X-Test: one", "Cache-Control: max-age=0"};
    ASSERT_TRUE(sender.Send(request));
    std::vector<uint8_t> body;
    sender.ReadAll(body);
    EXPECT_EQ(Text(body), "one|Talvex::HttpSender|max-age=0");

    request.headers = {"not a header"};
    EXPECT_FALSE(sender.Send(request));
}

TEST_F(HttpSenderTest, QueryIsEscapedUnlessAskedNotTo) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    Http().AddRoute("/echo", [](camsim::HttpExchange& exchange) { exchange.SendResponse(200, exchange.Head().target); });
    CHttpSender sender(Device());
    std::vector<uint8_t> body;
    ASSERT_TRUE(sender.Send(Get("/echo?a=b c<d>")));
    sender.ReadAll(body);
    EXPECT_EQ(Text(body), "/echo?a=b%20c%3Cd%3E");

    HttpRequest raw = Get("/echo?a=<d>");
    raw.options = Web::kOptionNoQueryEscape;
    ASSERT_TRUE(sender.Send(raw));
    sender.ReadAll(body);
    EXPECT_EQ(Text(body), "/echo?a=<d>");
}

TEST_F(HttpSenderTest, RedirectsAreFollowedUnlessAskedNotTo) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    Http().AddRoute("/old", [](camsim::HttpExchange& exchange) {
        exchange.SendResponse(302, "moved", {{"Location", "/command/inquiry.cgi?inq=sensor"}});
    });
    CHttpSender sender(Device());
    std::vector<uint8_t> body;
    ASSERT_TRUE(sender.Send(Get("/old")));
    EXPECT_EQ(sender.GetStatusCode(), 200u);
    sender.ReadAll(body);
    EXPECT_EQ(Text(body), "Sensor1=0");

    HttpRequest request = Get("/old");
    request.options = Web::kOptionNoRedirects;
    ASSERT_TRUE(sender.Send(request));
    EXPECT_EQ(sender.GetStatusCode(), 302u);
    sender.ReadAll(body);
    EXPECT_EQ(Text(body), "moved");
}

TEST_F(HttpSenderTest, NoResponseWaitReturnsOnceSent) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.delayMs = kTimeoutMs * 3;
    Http().SetFaults(faults);
    CHttpSender sender(Device());
    HttpRequest request = Get("/command/camera.cgi?Color=color");
    request.options = Web::kOptionNoResponseWait;
    const auto start = Clock::now();
    EXPECT_TRUE(sender.Send(request));
    EXPECT_LT(ElapsedMs(start), long(kTimeoutMs));
    EXPECT_EQ(sender.GetStatusCode(), 0u);
}

} // namespace
} // namespace talvex::test

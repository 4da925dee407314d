#include "http/CHttpSender.h"

#include "common/CEvent.h"
#include "unit/http/CamsimFixture.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

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


// A TCP peer that takes connections and never answers; the first `closeAfterRequest`
// connections are closed once a request head has come (a device that drops plain
// HTTP). A TLS client meets silence in its handshake: libcurl's own connect time-out.
class SilentPeer {
public:
    SilentPeer(const char* address, uint16_t port, int closeAfterRequest) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in bound{};
        bound.sin_family = AF_INET;
        bound.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &bound.sin_addr);
        socklen_t length = sizeof bound;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 || ::listen(m_listener, 8) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
            return;
        m_port = ntohs(bound.sin_port);
        m_thread = std::thread([this, closeAfterRequest] { Serve(closeAfterRequest); });
    }
    ~SilentPeer() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (int fd : m_held)
            ::close(fd);
        ::close(m_listener);
    }
    uint16_t Port() const { return m_port; }
    int Accepted() const { return m_accepted; }

private:
    void Serve(int closeAfterRequest) {
        while (!m_stop) {
            pollfd listener{m_listener, POLLIN, 0};
            if (::poll(&listener, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            if (++m_accepted > closeAfterRequest) {
                m_held.push_back(fd);
                continue;
            }
            std::string head;
            char buffer[1024];
            for (const auto end = Clock::now() + std::chrono::seconds(2);
                 !m_stop && Clock::now() < end && head.find("\r\n\r\n") == std::string::npos;) {
                pollfd readable{fd, POLLIN, 0};
                if (::poll(&readable, 1, 20) <= 0)
                    continue;
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                head.append(buffer, size_t(got));
            }
            ::close(fd);
        }
    }

    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::vector<int> m_held; // the serving thread's alone until it is joined
    std::thread m_thread;
};

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
    EXPECT_EQ(requests.size(), 2u) << "a 401 naming the scheme just used was sent again";
}

TEST_F(HttpSenderTest, RefusalNamingTheSchemeAskedForStandsAtOnce) {
    StartCamera("SNC-VB630", camsim::AuthMode::Digest);
    CHttpSender sender(Device("wrong"));
    HttpRequest request = Get("/command/inquiry.cgi?inq=camera");
    request.authScheme = Web::kAuthDigest;
    ASSERT_TRUE(sender.Send(request));
    EXPECT_EQ(sender.GetStatusCode(), 401u);
    // libcurl's own Digest handshake: a request without credentials, then one with.
    const auto requests = WaitForRequests(2);
    ASSERT_EQ(requests.size(), 2u) << "a 401 naming the scheme just used was sent again";
    EXPECT_EQ(requests[1].authScheme, "Digest");
}

TEST_F(HttpSenderTest, Port443StartsWithHttps) {
    CHttpSender secure(DEVICE_INFO("127.0.0.1", 443, "", ""));
    EXPECT_TRUE(secure.IsSecure());
    CHttpSender plain(DEVICE_INFO("127.0.0.1", 80, "", ""));
    EXPECT_FALSE(plain.IsSecure());
}

std::string AuthName(camsim::AuthMode mode) {
    return mode == camsim::AuthMode::None ? "None" : mode == camsim::AuthMode::Basic ? "Basic" : "Digest";
}

} // namespace
} // namespace talvex::test

namespace camsim {
// gtest finds an enum's printer by argument-dependent lookup, so it lives in the enum's namespace.
static void PrintTo(AuthMode mode, std::ostream* out) { *out << talvex::test::AuthName(mode); }
} // namespace camsim

namespace talvex::test {
namespace {

// The flip is remembered whether or not a Digest challenge came on the way.
class HttpsFlipTest : public CamsimFixture, public ::testing::WithParamInterface<camsim::AuthMode> {};

TEST_P(HttpsFlipTest, DeviceRefusingPlainHttpIsFoundOverHttpsOnceAndForAll) {
    StartCamera("SNC-VB770", GetParam(), true);
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

INSTANTIATE_TEST_SUITE_P(Authorisation, HttpsFlipTest,
                         ::testing::Values(camsim::AuthMode::None, camsim::AuthMode::Basic, camsim::AuthMode::Digest),
                         [](const auto& info) { return AuthName(info.param); });

TEST_F(HttpSenderTest, GarbageAnswerFailsWithoutTryingTheOtherProtocol) {
    StartCamera("SNC-CH210", camsim::AuthMode::None, true);
    Http().AddRoute("/garbage", [](camsim::HttpExchange& exchange) { exchange.SendBytes("SSH-2.0-OpenSSH_9\r\n\r\n"); });
    CHttpSender sender(Device());
    EXPECT_FALSE(sender.Send(Get("/garbage")));
    EXPECT_TRUE(sender.GetLastError() == CURLE_WEIRD_SERVER_REPLY || sender.GetLastError() == CURLE_UNSUPPORTED_PROTOCOL)
        << sender.GetLastError();
    EXPECT_FALSE(sender.IsSecure());
    WaitForRequests(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // time for a retry to show
    const auto requests = Http().Requests();
    ASSERT_EQ(requests.size(), 1u) << "retried with the other protocol";
    EXPECT_FALSE(requests[0].secure);
}

TEST_F(HttpSenderTest, ErrorStatusWithAnEmptyBodyKeepsItsStatusWhenTheBodyIsRead) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.status = 503;
    Http().SetFaults(faults);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), 0u);
    EXPECT_EQ(sender.GetStatusCode(), 503u);
    EXPECT_EQ(sender.GetLastError(), 0u);
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

// A time-out that libcurl reports itself (a TLS handshake met with silence) ends
// the request as the sender's own does: on the first protocol the other one is
// not tried, and on the retried protocol the flip is not remembered.
TEST_F(HttpSenderTest, TransferTimeOutReportedByLibcurlOnTheFirstProtocolIsNotRetried) {
    // Port 443 starts with HTTPS; an address of its own keeps it apart from other suites.
    SilentPeer peer("127.0.0.43", 443, 0);
    if (peer.Port() == 0)
        GTEST_SKIP() << "127.0.0.43:443 cannot be bound here";
    DEVICE_INFO device("127.0.0.43", 443, "admin", "secret");
    device.firstTimeoutMs = kTimeoutMs;
    CHttpSender sender(device);
    const auto start = Clock::now();
    EXPECT_FALSE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_OPERATION_TIMEDOUT));
    EXPECT_LT(ElapsedMs(start), long(kTimeoutMs * 2)) << "waited twice: the other protocol was tried";
    EXPECT_EQ(peer.Accepted(), 1) << "the other protocol was tried after a time-out";
    EXPECT_TRUE(sender.IsSecure());
}

TEST_F(HttpSenderTest, TransferTimeOutReportedByLibcurlOnTheRetriedProtocolIsKeptAndNotRemembered) {
    // Plain HTTP is dropped unanswered (retried over HTTPS), the TLS handshake meets silence.
    SilentPeer peer("127.0.0.1", 0, 1);
    ASSERT_NE(peer.Port(), 0);
    DEVICE_INFO device("127.0.0.1", peer.Port(), "admin", "secret");
    device.firstTimeoutMs = kTimeoutMs;
    CHttpSender sender(device);
    EXPECT_FALSE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_OPERATION_TIMEDOUT));
    EXPECT_EQ(peer.Accepted(), 2);
    EXPECT_FALSE(sender.IsSecure()) << "a protocol that timed out was remembered";
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

// Cancel from another thread and the watched stop event end a read promptly,
// whether the body keeps flowing or has stalled; the request stays closed.
enum class Interrupt { Cancel, StopEvent };
enum class Body { Endless, Stalled };
struct InterruptCase {
    Interrupt how;
    Body body;
    const char* name;
};

void PrintTo(const InterruptCase& value, std::ostream* out) { *out << value.name; }

class HttpSenderInterruptTest : public CamsimFixture, public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(HttpSenderInterruptTest, ReadEndsPromptlyAndTheRequestStaysClosed) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    if (GetParam().body == Body::Endless)
        AddEndlessStream(Http(), "/body");
    else
        AddStalledBody(Http(), "/body", 1000, 10);
    DEVICE_INFO device = Device();
    device.firstTimeoutMs = 30000;
    CHttpSender sender(device);
    CManualEvent stop;
    sender.WatchStopEvent(&stop);
    ASSERT_TRUE(sender.Send(Get("/body")));
    std::atomic<bool> interrupted{false};
    Clock::time_point interruptedAt;
    std::thread interrupter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        interruptedAt = Clock::now();
        interrupted = true;
        if (GetParam().how == Interrupt::Cancel)
            sender.Cancel();
        else
            stop.Set();
    });
    std::vector<uint8_t> chunk;
    for (size_t reads = 0; sender.ReadChunk(chunk, 8192, true) > 0 && reads < 1000000;)
        ++reads;
    interrupter.join();
    EXPECT_TRUE(interrupted) << "the read ended before it was interrupted";
    EXPECT_LT(ElapsedMs(interruptedAt), kCancelMarginMs);
    EXPECT_EQ(sender.ReadChunk(chunk, 8192, true), 0u);
    if (GetParam().how == Interrupt::Cancel) {
        EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_ABORTED_BY_CALLBACK));
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, HttpSenderInterruptTest,
                         ::testing::Values(InterruptCase{Interrupt::Cancel, Body::Endless, "CancelEndless"},
                                           InterruptCase{Interrupt::Cancel, Body::Stalled, "CancelStalled"},
                                           InterruptCase{Interrupt::StopEvent, Body::Endless, "StopEventEndless"},
                                           InterruptCase{Interrupt::StopEvent, Body::Stalled, "StopEventStalled"}),
                         [](const auto& info) { return std::string(info.param.name); });

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

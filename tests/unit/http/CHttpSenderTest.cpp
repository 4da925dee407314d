#include "http/CHttpSender.h"

#include "common/CEvent.h"
#include "platform/CSocket.h"
#include "unit/http/CamsimFixture.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
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

// What a body route does once its bytes are sent.
enum class Then { Close, Stall, Endless };

// A route answering `status` with `sent` bytes under an announced length (none:
// no Content-Length), then closing, stalling until the server stops, or
// sending more until the client goes.
void AddBody(camsim::HttpServer& http, uint32_t status, std::optional<size_t> announced, size_t sent, Then then) {
    http.AddRoute("/body", [=](camsim::HttpExchange& exchange) {
        camsim::HttpExchange::HeaderList headers;
        if (announced)
            headers.emplace_back("Content-Length", std::to_string(*announced));
        if (!exchange.SendHead(int(status), headers) || !exchange.SendBytes(std::string(sent, 'y')))
            return;
        while (then == Then::Endless && !exchange.Stopping() && exchange.SendBytes(std::string(4096, 'x'))) {
        }
        while (then == Then::Stall && !exchange.Stopping())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
}

// A TCP peer that takes connections and never answers; the first `closeAfterRequest`
// connections are closed once a request has come (a device that drops plain
// HTTP). A TLS client meets silence in its handshake: libcurl's own connect time-out.
class SilentPeer {
public:
    SilentPeer(const char* address, uint16_t port, int closeAfterRequest) {
        in_addr bound{};
        ::inet_pton(AF_INET, address, &bound);
        if (!m_listener.CreateTcp() || !m_listener.SetOption(SOL_SOCKET, SO_REUSEADDR, 1) ||
            !m_listener.Bind(bound.s_addr, port) || !m_listener.Listen(8))
            return;
        m_thread = std::thread([this, closeAfterRequest] {
            while (!m_stop.Wait(0)) {
                CSocket connection;
                sockaddr_in peer{};
                if (m_listener.Accept(connection, peer, m_stop.GetNativeHandle(), 1000) != SocketResult::Data)
                    continue;
                if (++m_accepted > closeAfterRequest) {
                    m_held.push_back(std::move(connection));
                    continue;
                }
                std::vector<uint8_t> head(4096);
                size_t received = 0;
                connection.Receive(head, received, m_stop.GetNativeHandle(), 2000); // then closed
            }
        });
    }
    ~SilentPeer() {
        m_stop.Set();
        if (m_thread.joinable())
            m_thread.join();
    }
    uint16_t Port() const { return m_thread.joinable() ? m_listener.GetLocalPort() : 0; }
    int Accepted() const { return m_accepted; }

private:
    CSocket m_listener;
    CManualEvent m_stop;
    std::atomic<int> m_accepted{0};
    std::vector<CSocket> m_held; // the serving thread's alone until it is joined
    std::thread m_thread;
};

class HttpSenderTest : public CamsimFixture {};

TEST_F(HttpSenderTest, DigestIsLearnedFromTheFirst401AndRememberedForAStreamedUpload) {
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

    // With the scheme learned (an upload cannot be repeated after a 401): a streamed upload, then the response.
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

TEST_F(HttpSenderTest, RefusalNamingTheSchemeJustUsedIsNotResent) {
    StartCamera("SNC-VB630", camsim::AuthMode::Digest);
    // Basic first: the 401 offers Digest, tried once. Digest asked for: libcurl's own
    // handshake, a request without credentials, then one with.
    for (const uint32_t scheme : {uint32_t(Web::kAuthBasic), uint32_t(Web::kAuthDigest)}) {
        Http().ClearRequests();
        CHttpSender sender(Device("wrong"));
        HttpRequest request = Get("/command/inquiry.cgi?inq=camera");
        request.authScheme = scheme;
        ASSERT_TRUE(sender.Send(request));
        EXPECT_EQ(sender.GetStatusCode(), 401u);
        const auto requests = WaitForRequests(2);
        ASSERT_EQ(requests.size(), 2u) << "a 401 naming the scheme just used was sent again";
        EXPECT_EQ(requests[1].authScheme, "Digest");
    }
}

TEST_F(HttpSenderTest, Port443StartsWithHttps) {
    CHttpSender secure(DEVICE_INFO("127.0.0.1", 443, "", ""));
    EXPECT_TRUE(secure.IsSecure());
    CHttpSender plain(DEVICE_INFO("127.0.0.1", 80, "", ""));
    EXPECT_FALSE(plain.IsSecure());
}

// The flip is remembered whether or not a Digest challenge came on the way.
struct AuthCase {
    const char* name;
    camsim::AuthMode mode;
};

void PrintTo(const AuthCase& value, std::ostream* out) { *out << value.name; }

class HttpsFlipTest : public CamsimFixture, public ::testing::WithParamInterface<AuthCase> {};

TEST_P(HttpsFlipTest, DeviceRefusingPlainHttpIsFoundOverHttpsOnceAndForAll) {
    StartCamera("SNC-VB770", GetParam().mode, true);
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
                         ::testing::Values(AuthCase{"None", camsim::AuthMode::None},
                                           AuthCase{"Basic", camsim::AuthMode::Basic},
                                           AuthCase{"Digest", camsim::AuthMode::Digest}),
                         [](const auto& info) { return std::string(info.param.name); });

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

// A time-out ends the request, whether the sender's own (plain HTTP met with
// silence) or one libcurl reports itself (a TLS handshake met with silence): on
// the first protocol (port 443 starts with HTTPS; an address of its own keeps it
// apart from other suites) the other one is not tried, and on the retried
// protocol (plain HTTP dropped unanswered) the flip is not remembered.
struct SilenceCase {
    const char* name;
    const char* address;
    uint16_t port;
    int closeAfterRequest;
    int accepted;
    bool secure;
};

void PrintTo(const SilenceCase& value, std::ostream* out) { *out << value.name; }

class HttpSenderSilence : public CamsimFixture, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(HttpSenderSilence, TransferTimeOutReportedByLibcurlEndsTheRequest) {
    const SilenceCase& c = GetParam();
    SilentPeer peer(c.address, c.port, c.closeAfterRequest);
    if (c.port != 0 && peer.Port() == 0)
        GTEST_SKIP() << c.address << ":" << c.port << " cannot be bound here";
    ASSERT_NE(peer.Port(), 0);
    CHttpSender sender(DeviceAt(c.address, peer.Port()));
    const auto start = Clock::now();
    EXPECT_FALSE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_OPERATION_TIMEDOUT));
    EXPECT_EQ(sender.GetStatusCode(), 0u);
    EXPECT_LT(ElapsedMs(start), long(kTimeoutMs * 2)) << "waited twice";
    EXPECT_EQ(peer.Accepted(), c.accepted);
    EXPECT_EQ(sender.IsSecure(), c.secure) << "a protocol that timed out was remembered";
}

INSTANTIATE_TEST_SUITE_P(Protocols, HttpSenderSilence,
                         ::testing::Values(SilenceCase{"PlainHttpNotRetried", "127.0.0.1", 0, 0, 1, false},
                                           SilenceCase{"FirstProtocolNotRetried", "127.0.0.43", 443, 0, 1, true},
                                           SilenceCase{"RetriedProtocolNotRemembered", "127.0.0.1", 0, 1, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpSenderTest, NoServerFailsAfterTryingBothProtocols) {
    CHttpSender sender(DeviceAt("127.0.0.1", UnusedLoopbackPort()));
    EXPECT_FALSE(sender.Send(Get("/command/inquiry.cgi?inq=system")));
    EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_COULDNT_CONNECT));
    EXPECT_FALSE(sender.IsSecure());
}

// How much of a body ReadAll gives, and the status and error it leaves.
struct ReadCase {
    const char* name;
    uint32_t status;
    std::optional<size_t> announced;
    size_t sent;
    Then then;
    size_t read;
    uint32_t error;
};

void PrintTo(const ReadCase& value, std::ostream* out) { *out << value.name; }

class HttpSenderReadAll : public CamsimFixture, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(HttpSenderReadAll, GivesWhatCameAndKeepsTheStatusAndError) {
    const ReadCase& c = GetParam();
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    AddBody(Http(), c.status, c.announced, c.sent, c.then);
    CHttpSender sender(Device());
    ASSERT_TRUE(sender.Send(Get("/body")));
    EXPECT_EQ(sender.GetContentLength(), c.announced.value_or(0));
    std::vector<uint8_t> body{1, 2, 3};
    EXPECT_EQ(sender.ReadAll(body), c.read);
    EXPECT_EQ(body.size(), c.read);
    EXPECT_EQ(sender.GetStatusCode(), c.status);
    EXPECT_EQ(sender.GetLastError(), c.error);
}

constexpr size_t kLarge = 3 * CHttpSender::kDefaultBodyLimit;

INSTANTIATE_TEST_SUITE_P(
    Bodies, HttpSenderReadAll,
    ::testing::Values(
        ReadCase{"NoContent", 204, std::nullopt, 0, Then::Close, 0, 0},
        ReadCase{"ErrorStatusWithAnEmptyBody", 503, 0, 0, Then::Close, 0, 0},
        ReadCase{"NoLengthStopsAtTheDefaultLimit", 200, std::nullopt, 0, Then::Endless, CHttpSender::kDefaultBodyLimit,
                 0},
        ReadCase{"AnnouncedLengthBeyondTheDefaultLimit", 200, kLarge, kLarge, Then::Close, kLarge, 0},
        ReadCase{"StalledBodyTimesOut", 200, 1000, 400, Then::Stall, 400, uint32_t(CURLE_OPERATION_TIMEDOUT)},
        ReadCase{"TruncatedBody", 200, 1000, 500, Then::Close, 500, uint32_t(CURLE_PARTIAL_FILE)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpSenderTest, ChunksArriveInOrderWithinTheLimitAndNoResponseWaitReturnsOnceSent) {
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

    // Without a response wait the request returns once sent, before a slow answer.
    camsim::HttpFaults faults;
    faults.delayMs = kTimeoutMs * 3;
    Http().SetFaults(faults);
    HttpRequest request = Get("/command/camera.cgi?Color=color");
    request.options = Web::kOptionNoResponseWait;
    const auto start = Clock::now();
    EXPECT_TRUE(sender.Send(request));
    EXPECT_LT(ElapsedMs(start), long(kTimeoutMs));
    EXPECT_EQ(sender.GetStatusCode(), 0u);
}

// Cancel from another thread and the watched stop event end a read promptly,
// whether the body keeps flowing or has stalled; the request stays closed.
struct InterruptCase {
    const char* name;
    bool cancel; // otherwise the stop event
    Then body;   // Endless or Stall
};

void PrintTo(const InterruptCase& value, std::ostream* out) { *out << value.name; }

class HttpSenderInterruptTest : public CamsimFixture, public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(HttpSenderInterruptTest, ReadEndsPromptlyAndTheRequestStaysClosed) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    const bool endless = GetParam().body == Then::Endless;
    AddBody(Http(), 200, endless ? std::nullopt : std::optional<size_t>(1000), 10, GetParam().body);
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
        if (GetParam().cancel)
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
    if (GetParam().cancel) {
        EXPECT_EQ(sender.GetLastError(), uint32_t(CURLE_ABORTED_BY_CALLBACK));
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, HttpSenderInterruptTest,
                         ::testing::Values(InterruptCase{"CancelEndless", true, Then::Endless},
                                           InterruptCase{"CancelStalled", true, Then::Stall},
                                           InterruptCase{"StopEventEndless", false, Then::Endless},
                                           InterruptCase{"StopEventStalled", false, Then::Stall}),
                         [](const auto& info) { return std::string(info.param.name); });


// What reaches the camera of a request's target, headers and options: the
// camera echoes the target, two headers and the user agent.
struct RequestCase {
    const char* name;
    const char* path;
    std::vector<std::string> headers;
    uint32_t options;
    bool sent;
    uint32_t status;
    const char* answer;
};

void PrintTo(const RequestCase& value, std::ostream* out) { *out << value.name; }

class HttpSenderRequest : public CamsimFixture, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(HttpSenderRequest, ReachesTheCameraAsAsked) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    Http().AddRoute("/echo", [](camsim::HttpExchange& exchange) {
        const auto& head = exchange.Head();
        exchange.SendResponse(200, head.target + "|" + head.Header("X-Test") + "|" + head.Header("Cache-Control") +
                                       "|" + head.Header("User-Agent"));
    });
    Http().AddRoute("/old", [](camsim::HttpExchange& exchange) {
        exchange.SendResponse(302, "moved", {{"Location", "/echo?moved"}});
    });
    CHttpSender sender(Device());
    HttpRequest request = Get(GetParam().path);
    request.headers = GetParam().headers;
    request.options = GetParam().options;
    ASSERT_EQ(sender.Send(request), GetParam().sent);
    if (!GetParam().sent)
        return;
    EXPECT_EQ(sender.GetStatusCode(), GetParam().status);
    std::vector<uint8_t> body;
    sender.ReadAll(body);
    EXPECT_EQ(Text(body), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HttpSenderRequest,
    ::testing::Values(
        RequestCase{"QueryEscaped", "/echo?a=b c<d>", {}, 0, true, 200,
                    "/echo?a=b%20c%3Cd%3E||no-cache|Talvex::HttpSender"},
        RequestCase{"QueryNotEscaped", "/echo?a=<d>", {}, Web::kOptionNoQueryEscape, true, 200,
                    "/echo?a=<d>||no-cache|Talvex::HttpSender"},
        RequestCase{"ExtraHeaders", "/echo", {"X-Test: one", "Cache-Control: max-age=0"}, 0, true, 200,
                    "/echo|one|max-age=0|Talvex::HttpSender"},
        RequestCase{"MalformedHeader", "/echo", {"not a header"}, 0, false, 0, ""},
        RequestCase{"RedirectFollowed", "/old", {}, 0, true, 200, "/echo?moved||no-cache|Talvex::HttpSender"},
        RequestCase{"RedirectNotFollowed", "/old", {}, Web::kOptionNoRedirects, true, 302, "moved"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex::test

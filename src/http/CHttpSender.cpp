#include "http/CHttpSender.h"

#include "common/CEvent.h"

// Typed handles (struct Curl_easy, struct Curl_multi) match the header's declarations.
#define CURL_STRICTER
#include <curl/curl.h>
#include <poll.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>
#include <utility>

namespace Web {

namespace {

using Clock = std::chrono::steady_clock;

// Wait slice when the device record asks for no time-out at all.
constexpr int kUnlimitedWaitSliceMs = 1000;
constexpr long kMaxRedirects = 10;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

// Scheme flags: the request's scheme number n stands for 1 << n.
constexpr uint32_t kFlagBasic = 1, kFlagNtlm = 2, kFlagPassport = 4, kFlagDigest = 8, kFlagNegotiate = 16;

uint32_t SchemeFlag(uint32_t scheme) {
    return scheme < kAuthNoCredentials ? 1u << scheme : 0;
}

// Passport has no libcurl counterpart: such a request cannot carry credentials.
unsigned long CurlAuthForFlag(uint32_t flag) {
    switch (flag) {
    case kFlagBasic: return CURLAUTH_BASIC;
    case kFlagNtlm: return CURLAUTH_NTLM;
    case kFlagDigest: return CURLAUTH_DIGEST;
    case kFlagNegotiate: return CURLAUTH_NEGOTIATE;
    default: return CURLAUTH_NONE;
    }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

uint32_t FlagForChallenge(std::string_view scheme) {
    if (EqualsNoCase(scheme, "Basic"))
        return kFlagBasic;
    if (EqualsNoCase(scheme, "NTLM"))
        return kFlagNtlm;
    if (EqualsNoCase(scheme, "Passport1.4"))
        return kFlagPassport;
    if (EqualsNoCase(scheme, "Digest"))
        return kFlagDigest;
    if (EqualsNoCase(scheme, "Negotiate"))
        return kFlagNegotiate;
    return 0;
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

uint32_t ParseLength(std::string_view digits) {
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = std::min<uint64_t>(value * 10 + uint64_t(c - '0'), std::numeric_limits<uint32_t>::max());
    }
    return uint32_t(value);
}

// Bytes that a request target must carry escaped. The path is always escaped;
// the query only without kOptionNoQueryEscape, and even then the bytes that
// libcurl cannot carry in a URL at all (controls, space, '#', which would start
// a fragment) are escaped.
bool MustEscape(unsigned char c, bool strict) {
    if (c <= 0x20 || c == 0x7F || c == '#')
        return true;
    return strict && (c >= 0x80 || std::strchr("\"<>\\^`{|}", c) != nullptr);
}

std::string EscapeTarget(std::string_view target, bool escapeQuery) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(target.size() + 1);
    if (target.empty() || target.front() != '/')
        escaped.push_back('/');
    bool inQuery = false;
    for (unsigned char c : target) {
        if (c == '?' && !inQuery) {
            inQuery = true;
            escaped.push_back('?');
            continue;
        }
        if (MustEscape(c, !inQuery || escapeQuery)) {
            escaped.push_back('%');
            escaped.push_back(kHex[c >> 4]);
            escaped.push_back(kHex[c & 0x0F]);
        } else {
            escaped.push_back(char(c));
        }
    }
    return escaped;
}

bool IsTimeout(uint32_t error) {
    return error == CURLE_OPERATION_TIMEDOUT;
}

// The answer was there but was no HTTP (libcurl refuses HTTP/0.9-looking bytes).
bool IsInvalidServerResponse(uint32_t error) {
    return error == CURLE_WEIRD_SERVER_REPLY || error == CURLE_UNSUPPORTED_PROTOCOL;
}

// Header lines the request always carries unless the caller names them:
// caches are bypassed, libcurl's "Expect: 100-continue" is not used.
const char* const kDefaultHeaders[] = {"Cache-Control: no-cache", "Pragma: no-cache", "Expect:"};

std::string_view HeaderName(std::string_view line) {
    return Trim(line.substr(0, line.find(':')));
}

bool IsValidHeaderLine(std::string_view line) {
    const size_t colon = line.find(':');
    return colon != std::string_view::npos && !HeaderName(line).empty() &&
           line.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

CHttpSender::CHttpSender(const talvex::DEVICE_INFO& device)
    : CBaseHttpSender(device), m_secure(device.port == 443) {
    InitCurlOnce();
    m_multi = curl_multi_init();
    m_easy = curl_easy_init();
    if (!m_multi || !m_easy)
        return;
    curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerServer);

    curl_easy_setopt(m_easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_PROXY, ""); // never a proxy, whatever the environment says
    curl_easy_setopt(m_easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Resolve and connect (with the TLS handshake) share the first time-out;
    // sending and receiving are watched by Pump with the same value.
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT_MS, long(device.firstTimeoutMs));
    // Cameras serve HTTPS with self-signed certificates made on the device,
    // issued for no name that a client could check: verifying the peer or the
    // host name would refuse every camera, so neither is verified.
    curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYHOST, 0L);

    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CHttpSender::OnHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CHttpSender::OnBody);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, &CHttpSender::OnUploadRead);
    curl_easy_setopt(m_easy, CURLOPT_READDATA, this);
    // The debug stream is the only place that tells when the request left.
    curl_easy_setopt(m_easy, CURLOPT_DEBUGFUNCTION, &CHttpSender::OnDebug);
    curl_easy_setopt(m_easy, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_VERBOSE, 1L);
}

CHttpSender::~CHttpSender() {
    CloseRequest();
    curl_slist_free_all(m_headerList);
    if (m_easy)
        curl_easy_cleanup(m_easy);
    if (m_multi)
        curl_multi_cleanup(m_multi);
}

bool CHttpSender::Send(const HttpRequest& request) {
    m_cancelled = false;
    HttpRequest copy = request;
    return SendCopy(copy);
}

bool CHttpSender::SendCopy(HttpRequest& request) {
    request.secure = m_secure ? 1 : 0;
    Outcome outcome = RunExchange(request);
    if (outcome == Outcome::Retry && !StopRequested()) {
        // A device that only speaks the other protocol on this port: found on
        // the first request and remembered for the following ones.
        request.secure = request.secure ? 0 : 1;
        outcome = RunExchange(request);
    }
    if (outcome != Outcome::Done)
        return false;
    m_secure = request.secure != 0;
    return true;
}

void CHttpSender::Cancel() {
    m_cancelled = true;
    if (m_multi)
        curl_multi_wakeup(m_multi);
}

CHttpSender::Outcome CHttpSender::RunExchange(HttpRequest& request) {
    CloseRequest();
    m_statusCode = 0;
    m_contentLength = 0;
    m_lastError = 0;
    if (!m_multi || !m_easy)
        return FailExchange(CURLE_FAILED_INIT, Outcome::Failed);
    if (!ConfigureTransfer(request))
        return Outcome::Failed;
    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
        return FailExchange(CURLE_FAILED_INIT, Outcome::Failed);
    m_attached = true;
    const bool awaitsAnswer = !m_streamedUpload && (request.options & kOptionNoResponseWait) == 0;

    const PumpResult sent = Pump([this] { return m_headersComplete || (m_requestSent && m_upload.empty()); });
    switch (sent) {
    case PumpResult::Cancelled: return FailExchange(CURLE_ABORTED_BY_CALLBACK, Outcome::Failed);
    case PumpResult::TimedOut: return FailExchange(CURLE_OPERATION_TIMEDOUT, Outcome::Failed);
    case PumpResult::Finished:
        if (m_transferResult != CURLE_OK && (!m_requestSent || !awaitsAnswer))
            return FailExchange(m_transferResult, IsTimeout(m_transferResult) ? Outcome::Failed : Outcome::Retry);
        break;
    case PumpResult::Ready: break;
    }
    if (!awaitsAnswer)
        return Outcome::Done;

    const PumpResult answered = Pump([this] { return m_headersComplete; });
    switch (answered) {
    case PumpResult::Cancelled: return FailExchange(CURLE_ABORTED_BY_CALLBACK, Outcome::Failed);
    // A time-out is never retried with the other protocol: the device is
    // there but slow, and a second attempt would only double the wait.
    case PumpResult::TimedOut: return FailExchange(CURLE_OPERATION_TIMEDOUT, Outcome::Failed);
    case PumpResult::Finished:
        if (m_transferResult != CURLE_OK) {
            const bool final = IsTimeout(m_transferResult) || IsInvalidServerResponse(m_transferResult);
            return FailExchange(m_transferResult, final ? Outcome::Failed : Outcome::Retry);
        }
        break;
    case PumpResult::Ready: break;
    }
    ReadStatusAndLength();
    if (m_statusCode == 401 && m_serverScheme == 0)
        return LearnSchemeAndRetry(request);
    return Outcome::Done;
}

CHttpSender::Outcome CHttpSender::FailExchange(uint32_t error, Outcome outcome) {
    m_lastError = error;
    CloseRequest();
    return outcome;
}

// The camera answers 401 once and names its scheme (Basic cameras and Digest
// cameras look alike until then): learn it, keep it for every later request
// and try once more with it.
CHttpSender::Outcome CHttpSender::LearnSchemeAndRetry(HttpRequest& request) {
    const uint32_t usedScheme = SchemeFlag(request.authScheme);
    m_serverScheme = FlagForChallenge(m_blockChallenge);
    // Nothing to learn (no or an unknown challenge, or the scheme just used):
    // the 401 is the answer and stands as such.
    if (m_serverScheme == 0 || m_serverScheme == usedScheme)
        return Outcome::Done;
    CloseRequest();
    m_secure = request.secure != 0; // this protocol reached the server
    return SendCopy(request) ? Outcome::Done : Outcome::Failed;
}

bool CHttpSender::ConfigureTransfer(const HttpRequest& request) {
    ResetTransferState();
    const uint64_t total = std::max<uint64_t>(request.body.size(), request.totalLength);
    m_upload = request.body;
    m_streamedUpload = request.body.size() < request.totalLength;

    CURLcode result = curl_easy_setopt(m_easy, CURLOPT_URL, BuildUrl(request).c_str());
    curl_easy_setopt(m_easy, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, nullptr);
    if (request.verb == "HEAD") {
        curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
    } else if (total > 0) {
        curl_easy_setopt(m_easy, CURLOPT_POST, 1L);
        curl_easy_setopt(m_easy, CURLOPT_POSTFIELDS, nullptr);
        curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(total));
        if (request.verb != "POST")
            curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    } else {
        curl_easy_setopt(m_easy, CURLOPT_HTTPGET, 1L);
        if (request.verb != "GET")
            curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    }
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, (request.options & kOptionNoRedirects) ? 0L : 1L);
    if (result != CURLE_OK) {
        m_lastError = result;
        return false;
    }
    return ConfigureCredentials(request) && ConfigureHeaders(request);
}

bool CHttpSender::ConfigureCredentials(const HttpRequest& request) {
    if (m_device.user.empty() || request.authScheme == kAuthNoCredentials) {
        curl_easy_setopt(m_easy, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(m_easy, CURLOPT_PASSWORD, nullptr);
        return true;
    }
    const uint32_t flag = m_serverScheme != 0 ? m_serverScheme : SchemeFlag(request.authScheme);
    const unsigned long curlAuth = CurlAuthForFlag(flag);
    if (curlAuth == CURLAUTH_NONE) {
        m_lastError = CURLE_NOT_BUILT_IN;
        return false;
    }
    curl_easy_setopt(m_easy, CURLOPT_USERNAME, m_device.user.c_str());
    curl_easy_setopt(m_easy, CURLOPT_PASSWORD, m_device.password.c_str());
    const CURLcode result = curl_easy_setopt(m_easy, CURLOPT_HTTPAUTH, curlAuth);
    if (result != CURLE_OK) {
        m_lastError = result;
        return false;
    }
    return true;
}

bool CHttpSender::ConfigureHeaders(const HttpRequest& request) {
    // Lines are added with replacement: a later line replaces an earlier one
    // of the same name, the caller's lines replace the defaults.
    std::vector<std::string> lines(std::begin(kDefaultHeaders), std::end(kDefaultHeaders));
    bool hasContentType = false;
    for (const std::string& line : request.headers) {
        if (!IsValidHeaderLine(line)) {
            m_lastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return false;
        }
        const std::string_view name = HeaderName(line);
        hasContentType = hasContentType || EqualsNoCase(name, "Content-Type");
        std::erase_if(lines, [name](const std::string& known) { return EqualsNoCase(HeaderName(known), name); });
        lines.push_back(line);
    }
    // libcurl would label a body as a form; the camera gets what the caller says.
    if (!m_upload.empty() || m_streamedUpload) {
        if (!hasContentType)
            lines.push_back("Content-Type:");
    }

    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
    for (const std::string& line : lines) {
        curl_slist* extended = curl_slist_append(m_headerList, line.c_str());
        if (!extended) {
            m_lastError = CURLE_OUT_OF_MEMORY;
            return false;
        }
        m_headerList = extended;
    }
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headerList);
    return true;
}

std::string CHttpSender::BuildUrl(const HttpRequest& request) const {
    std::string url = request.secure ? "https://" : "http://";
    const bool ipv6 = m_device.address.find(':') != std::string::npos && m_device.address.front() != '[';
    url += ipv6 ? "[" + m_device.address + "]" : m_device.address;
    url += ":" + std::to_string(m_device.port);
    url += EscapeTarget(request.path, (request.options & kOptionNoQueryEscape) == 0);
    return url;
}

void CHttpSender::CloseRequest() {
    if (m_attached) {
        curl_multi_remove_handle(m_multi, m_easy);
        m_attached = false;
    }
}

void CHttpSender::ResetTransferState() {
    m_transferDone = false;
    m_transferResult = CURLE_OK;
    m_requestSent = false;
    m_headersComplete = false;
    m_receivePaused = false;
    m_sendPaused = false;
    m_blockChallenge.clear();
    m_blockContentLength = 0;
    m_received.clear();
    m_receivedOffset = 0;
    m_upload.clear();
    m_uploadOffset = 0;
    m_streamedUpload = false;
}

void CHttpSender::ReadStatusAndLength() {
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    m_statusCode = uint32_t(status);
    m_contentLength = m_statusCode == 204 ? 0 : m_blockContentLength;
}

template <typename Ready>
CHttpSender::PumpResult CHttpSender::Pump(Ready ready) {
    const uint32_t timeoutMs = m_device.firstTimeoutMs;
    uint64_t seenProgress = m_progress;
    Clock::time_point lastProgress = Clock::now();
    for (;;) {
        int running = 0;
        curl_multi_perform(m_multi, &running);
        CollectFinishedTransfer();
        if (ready())
            return PumpResult::Ready;
        if (m_transferDone)
            return PumpResult::Finished;
        if (StopRequested())
            return PumpResult::Cancelled;

        const Clock::time_point now = Clock::now();
        if (m_progress != seenProgress) {
            seenProgress = m_progress;
            lastProgress = now;
        }
        int waitMs = kUnlimitedWaitSliceMs;
        if (timeoutMs != 0) {
            const auto idleMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastProgress).count();
            if (idleMs >= timeoutMs)
                return PumpResult::TimedOut;
            waitMs = int(std::min<int64_t>(timeoutMs - idleMs, std::numeric_limits<int>::max()));
        }
        // Cancel wakes this poll through curl_multi_wakeup; the stop event is
        // polled with libcurl's sockets.
        curl_waitfd stopFd{};
        unsigned int extraCount = 0;
        if (m_stopEvent) {
            stopFd.fd = m_stopEvent->GetNativeHandle();
            stopFd.events = CURL_WAIT_POLLIN;
            extraCount = 1;
        }
        curl_multi_poll(m_multi, extraCount ? &stopFd : nullptr, extraCount, waitMs, nullptr);
    }
}

void CHttpSender::CollectFinishedTransfer() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy) {
            m_transferDone = true;
            m_transferResult = message->data.result;
        }
    }
}

bool CHttpSender::StopRequested() const {
    if (m_cancelled)
        return true;
    if (!m_stopEvent)
        return false;
    pollfd fd{m_stopEvent->GetNativeHandle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
}

bool CHttpSender::CheckCancelled() {
    if (!StopRequested())
        return false;
    if (m_attached)
        FailExchange(CURLE_ABORTED_BY_CALLBACK, Outcome::Failed);
    return true;
}

bool CHttpSender::WaitForBody() {
    if (CheckCancelled() || !m_attached)
        return false;
    if (BufferedBytes() > 0)
        return true;
    if (m_transferDone) {
        m_lastError = m_transferResult;
        return false;
    }
    return Await([this] { return BufferedBytes() > 0; }, false);
}

template <typename Ready>
bool CHttpSender::Await(Ready ready, bool endIsSuccess) {
    switch (Pump(ready)) {
    case PumpResult::Ready: return true;
    case PumpResult::Finished:
        m_lastError = m_transferResult;
        return endIsSuccess && m_transferResult == CURLE_OK;
    case PumpResult::TimedOut: m_lastError = CURLE_OPERATION_TIMEDOUT; return false;
    case PumpResult::Cancelled: FailExchange(CURLE_ABORTED_BY_CALLBACK, Outcome::Failed); return false;
    }
    return false;
}

void CHttpSender::UpdatePause() {
    curl_easy_pause(m_easy, (m_receivePaused ? CURLPAUSE_RECV : 0) | (m_sendPaused ? CURLPAUSE_SEND : 0));
}

uint32_t CHttpSender::QueryDataAvailable() {
    return WaitForBody() ? BufferedBytes() : 0;
}

uint32_t CHttpSender::ReadChunk(std::vector<uint8_t>& body, uint32_t maxBytes, bool clearFirst) {
    if (clearFirst)
        body.clear();
    if (maxBytes == 0 || !WaitForBody())
        return 0;
    const uint32_t count = std::min(maxBytes, BufferedBytes());
    const auto first = m_received.begin() + std::ptrdiff_t(m_receivedOffset);
    body.insert(body.end(), first, first + count);
    m_receivedOffset += count;
    if (m_receivedOffset == m_received.size()) {
        m_received.clear();
        m_receivedOffset = 0;
    }
    if (m_receivePaused && BufferedBytes() < kMaxBufferedBytes) {
        m_receivePaused = false;
        UpdatePause(); // may hand over held bytes at once (OnBody)
    }
    return count;
}

uint32_t CHttpSender::ReadAll(std::vector<uint8_t>& body) {
    body.clear();
    // A time-out keeps what came; the limit keeps it within the announced length.
    const uint32_t limit = m_contentLength != 0 ? m_contentLength : kDefaultBodyLimit;
    while (body.size() < limit) {
        const uint32_t wanted = std::min<uint32_t>(kReadAllChunkSize, limit - uint32_t(body.size()));
        if (ReadChunk(body, wanted, false) == 0)
            break;
    }
    return uint32_t(body.size());
}

bool CHttpSender::WriteData(const std::vector<uint8_t>& data) {
    if (CheckCancelled() || !m_attached || !m_streamedUpload || m_transferDone)
        return false;
    m_upload.insert(m_upload.end(), data.begin(), data.end());
    if (m_sendPaused) {
        m_sendPaused = false;
        UpdatePause();
    }
    return Await([this] { return m_upload.empty(); }, false);
}

bool CHttpSender::ReceiveResponse() {
    if (CheckCancelled() || !m_attached)
        return false;
    if (!Await([this] { return m_headersComplete; }, true))
        return false;
    ReadStatusAndLength();
    return true;
}

size_t CHttpSender::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* sender = static_cast<CHttpSender*>(self);
    sender->HandleHeaderLine(std::string_view(data, size * count));
    ++sender->m_progress;
    return size * count;
}

// libcurl reports every header block, also those of answers that it handles
// itself (a 401 before Digest, a redirect it follows): a block counts as the
// answer when it is a 2xx, or when its body arrives, or when the transfer ends.
void CHttpSender::HandleHeaderLine(std::string_view line) {
    if (line.starts_with("HTTP/")) {
        m_blockChallenge.clear();
        m_blockContentLength = 0;
        return;
    }
    if (Trim(line).empty()) {
        long status = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 && status < 300)
            m_headersComplete = true;
        return;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (EqualsNoCase(name, "WWW-Authenticate") && m_blockChallenge.empty())
        m_blockChallenge = std::string(value.substr(0, value.find_first_of(" \t,")));
    else if (EqualsNoCase(name, "Content-Length"))
        m_blockContentLength = ParseLength(value);
}

size_t CHttpSender::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* sender = static_cast<CHttpSender*>(self);
    if (sender->BufferedBytes() >= kMaxBufferedBytes) {
        sender->m_receivePaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    sender->m_headersComplete = true;
    sender->m_received.insert(sender->m_received.end(), data, data + size * count);
    ++sender->m_progress;
    return size * count;
}

size_t CHttpSender::OnUploadRead(char* buffer, size_t size, size_t count, void* self) {
    auto* sender = static_cast<CHttpSender*>(self);
    const size_t available = sender->m_upload.size() - sender->m_uploadOffset;
    if (available == 0) {
        if (!sender->m_streamedUpload)
            return 0;
        sender->m_sendPaused = true; // resumed by WriteData
        return CURL_READFUNC_PAUSE;
    }
    const size_t taken = std::min(available, size * count);
    std::memcpy(buffer, sender->m_upload.data() + sender->m_uploadOffset, taken);
    sender->m_uploadOffset += taken;
    if (sender->m_uploadOffset == sender->m_upload.size()) {
        sender->m_upload.clear();
        sender->m_uploadOffset = 0;
    }
    ++sender->m_progress;
    return taken;
}

int CHttpSender::OnDebug(Curl_easy*, int type, char*, size_t, void* self) {
    auto* sender = static_cast<CHttpSender*>(self);
    switch (type) {
    case CURLINFO_HEADER_OUT:
        sender->m_requestSent = true;
        ++sender->m_progress;
        break;
    case CURLINFO_DATA_OUT:
    case CURLINFO_SSL_DATA_IN:
    case CURLINFO_SSL_DATA_OUT:
        ++sender->m_progress;
        break;
    default: break;
    }
    return 0;
}

} // namespace Web

// HTTP client of every camera exchange: CGI commands, inquiries, streams and
// streamed uploads. Built on libcurl's multi interface so that the caller pulls
// the body (QueryDataAvailable, ReadChunk, ReadAll), pushes an upload
// (WriteData, ReceiveResponse) and can break a blocked call from another
// thread (Cancel).
#pragma once

#include <talvex/ipcapture/DeviceInfo.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Curl_easy;
struct Curl_multi;
struct curl_slist;

namespace talvex {
class CEvent;
}

namespace Web {

// Credentials scheme of a request: the number n stands for the scheme flag 1 << n.
enum HttpAuthScheme : uint32_t {
    kAuthBasic = 0,
    kAuthNtlm = 1,
    kAuthPassport = 2,
    kAuthDigest = 3,
    kAuthNegotiate = 4,
    kAuthNoCredentials = 5,
};

// Bits of HttpRequest::options.
enum HttpRequestOption : uint32_t {
    kOptionNoQueryEscape = 1u << 0,
    kOptionIgnoreCertificateErrors = 1u << 1, // no effect: camera certificates are never verified

    kOptionNoRedirects = 1u << 2,
    kOptionNoResponseWait = 1u << 3,
};

struct HttpRequest {
    std::string verb = "GET";
    std::string path;      // path and query, e.g. "/command/inquiry.cgi?inq=camera"
    uint32_t secure = 0;   // replaced by the sender's secure flag on every Send
    uint32_t authScheme = kAuthBasic;
    std::vector<uint8_t> body;
    uint32_t totalLength = 0; // larger than body: the rest follows with WriteData
    std::vector<std::string> headers; // "Name: value"
    uint32_t options = 0;     // HttpRequestOption bits
};

class CBaseHttpSender {
public:
    explicit CBaseHttpSender(const talvex::DEVICE_INFO& device) : m_device(device) {}
    virtual ~CBaseHttpSender() = default;
    CBaseHttpSender(const CBaseHttpSender&) = delete;
    CBaseHttpSender& operator=(const CBaseHttpSender&) = delete;

    virtual bool Send(const HttpRequest& request) = 0;
    virtual void Cancel() = 0;
    virtual uint32_t QueryDataAvailable() = 0;
    virtual uint32_t ReadAll(std::vector<uint8_t>& body) = 0;
    virtual uint32_t ReadChunk(std::vector<uint8_t>& body, uint32_t maxBytes, bool clearFirst) = 0;

    const talvex::DEVICE_INFO& GetDeviceInfo() const { return m_device; }

protected:
    const talvex::DEVICE_INFO m_device;
};

class CHttpSender : public CBaseHttpSender {
public:
    static constexpr const char* kUserAgent = "Talvex::HttpSender";
    static constexpr long kMaxConnectionsPerServer = 16;
    // ReadAll's limit when the server announces no length.
    static constexpr uint32_t kDefaultBodyLimit = 1048576;
    static constexpr uint32_t kReadAllChunkSize = 8192;
    // Received bytes held for the reader before libcurl is told to pause the
    // transfer: the reader pulls, the server is slowed by TCP flow control.
    static constexpr size_t kMaxBufferedBytes = 256 * 1024;

    explicit CHttpSender(const talvex::DEVICE_INFO& device);
    ~CHttpSender() override;

    // True when an answer (any status) came, or the request went out and no
    // answer is awaited (streamed upload, kOptionNoResponseWait).
    bool Send(const HttpRequest& request) override;
    // Any thread: ends a blocked Send, read or write promptly; the current
    // request is closed and the other protocol is not tried.
    void Cancel() override;
    // Bytes readable now; waits for the next bytes when none are held (as a
    // synchronous WinHttpQueryDataAvailable does). 0 at the end, on error or
    // without a request.
    uint32_t QueryDataAvailable() override;
    uint32_t ReadAll(std::vector<uint8_t>& body) override;
    uint32_t ReadChunk(std::vector<uint8_t>& body, uint32_t maxBytes, bool clearFirst) override;

    // More of a streamed request body; true when every byte was taken.
    bool WriteData(const std::vector<uint8_t>& data);
    // Waits for the answer to a streamed upload; reads status and length.
    bool ReceiveResponse();

    // Every wait of this sender also ends when stop is signalled (as Cancel).
    // The event must outlive the sender; null removes it.
    void WatchStopEvent(const talvex::CEvent* stop) { m_stopEvent = stop; }

    uint32_t GetStatusCode() const { return m_statusCode; }
    uint32_t GetContentLength() const { return m_contentLength; }
    // The libcurl result code (CURLcode) of the last failure, 0 after success.
    uint32_t GetLastError() const { return m_lastError; }
    bool IsSecure() const { return m_secure; }

private:
    enum class Outcome { Done, Retry, Failed };
    enum class PumpResult { Ready, Finished, TimedOut, Cancelled };

    bool SendCopy(HttpRequest& request);
    Outcome RunExchange(HttpRequest& request);
    Outcome LearnSchemeAndRetry(HttpRequest& request);
    Outcome FailExchange(uint32_t error, Outcome outcome);
    bool ConfigureTransfer(const HttpRequest& request);
    bool ConfigureCredentials(const HttpRequest& request);
    bool ConfigureHeaders(const HttpRequest& request);
    std::string BuildUrl(const HttpRequest& request) const;
    void CloseRequest();
    void ResetTransferState();
    void ReadStatusAndLength();

    template <typename Ready> PumpResult Pump(Ready ready);
    // Pumps until ready; false with the error kept otherwise (a clean end of
    // the transfer counts as success when endIsSuccess).
    template <typename Ready> bool Await(Ready ready, bool endIsSuccess);
    void CollectFinishedTransfer();
    bool StopRequested() const;
    bool WaitForBody();
    bool CheckCancelled();
    void UpdatePause();
    uint32_t BufferedBytes() const { return uint32_t(m_received.size() - m_receivedOffset); }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnUploadRead(char* buffer, size_t size, size_t count, void* self);
    static int OnDebug(Curl_easy* easy, int type, char* data, size_t size, void* self);
    void HandleHeaderLine(std::string_view line);

    Curl_multi* m_multi = nullptr;
    Curl_easy* m_easy = nullptr;
    curl_slist* m_headerList = nullptr;
    bool m_attached = false;

    uint32_t m_statusCode = 0;
    uint32_t m_contentLength = 0;
    uint32_t m_lastError = 0;
    uint32_t m_serverScheme = 0; // scheme flag the server asked for; 0 until a 401 names one
    bool m_secure;
    std::atomic<bool> m_cancelled{false};
    const talvex::CEvent* m_stopEvent = nullptr;

    // State of the current transfer, filled by libcurl's callbacks.
    bool m_transferDone = false;
    uint32_t m_transferResult = 0;
    bool m_requestSent = false;
    bool m_headersComplete = false;
    bool m_receivePaused = false;
    bool m_sendPaused = false;
    uint64_t m_progress = 0; // bumped by every callback that moved bytes
    std::string m_blockChallenge; // first WWW-Authenticate scheme of the current header block
    uint32_t m_blockContentLength = 0;
    std::vector<uint8_t> m_received;
    size_t m_receivedOffset = 0;
    std::vector<uint8_t> m_upload;
    size_t m_uploadOffset = 0;
    bool m_streamedUpload = false; // more body follows with WriteData
};

} // namespace Web

#include "device/SonyDeviceIdentification.h"

#include "common/CEvent.h"

#include <poll.h>

#include <algorithm>

namespace talvex {

namespace {

// Looks without consuming: an auto-reset stop event stays signalled for its owner.
bool IsSignalled(const CEvent& event) {
    pollfd fd{event.GetNativeHandle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
}

uint32_t ClassifyAnswer(bool answered, uint32_t status) {
    if (!answered || status == 0)
        return kIdentificationNoAnswer;
    if (status == 401)
        return kIdentificationCredentialsRefused;
    if (status < 200 || status >= 300)
        return kIdentificationOtherFailure;
    return kIdentificationNoFailure;
}

// Reads what the sender has, in bounded chunks, until the end, the limit or a stop.
std::string ReadAnswer(Web::CHttpSender& http, const CEvent& stop) {
    std::string text;
    std::vector<uint8_t> chunk;
    while (text.size() < kMaxIdentificationAnswer && !IsSignalled(stop) && http.QueryDataAvailable() > 0) {
        const uint32_t wanted = std::min<uint32_t>(kIdentificationReadChunk, kMaxIdentificationAnswer - uint32_t(text.size()));
        if (http.ReadChunk(chunk, wanted, true) == 0)
            break;
        text.append(chunk.begin(), chunk.end());
    }
    return text;
}

class StopWatch {
public:
    StopWatch(Web::CHttpSender& http, const CEvent& stop) : m_http(http) { m_http.WatchStopEvent(&stop); }
    ~StopWatch() { m_http.WatchStopEvent(nullptr); }

private:
    Web::CHttpSender& m_http;
};

} // namespace

bool IdentifySonyDevice(Web::CHttpSender& http, const CEvent& stop, CSonyDeviceInfo& info, std::string& answer,
                        uint32_t& failureReason) {
    const StopWatch watch(http, stop);
    failureReason = kIdentificationNoFailure;
    answer.clear();
    for (const char* path : kSonyIdentificationPaths) {
        if (IsSignalled(stop))
            return false;
        Web::HttpRequest request;
        request.path = path;
        const bool answered = http.Send(request);
        const uint32_t reason = ClassifyAnswer(answered, http.GetStatusCode());
        if (reason != kIdentificationNoFailure) {
            failureReason = reason;
            continue;
        }
        std::string text = ReadAnswer(http, stop);
        if (IsSignalled(stop))
            return false;
        if (!text.empty() && info.Parse(text)) {
            answer = std::move(text);
            return true;
        }
    }
    return false;
}

} // namespace talvex

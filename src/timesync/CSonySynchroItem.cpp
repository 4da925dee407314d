#include "timesync/CSonySynchroItem.h"

#include "http/InquiryValue.h"
#include "timesync/GmTime.h"

#include <algorithm>

namespace talvex {

namespace {

constexpr const char* kInquiryPath = "/command/inquiry.cgi?inq=system";
constexpr const char* kSystemPath = "/command/system.cgi";
constexpr const char* kEtcPath = "/command/etc.cgi";
constexpr const char* kNtpOffBody = "NtpService=off";
constexpr const char* kFormContentType = "Content-Type: application/x-www-form-urlencoded";
// Generation 5 takes the time only as a POST to etc.cgi.
constexpr uint32_t kPostGeneration = 5;
constexpr uint32_t kStatusOk = 200;
constexpr uint32_t kStatusNoContent = 204;
constexpr uint64_t kTicksPerMs = 10000;
constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kInfoLevel = 3;

uint64_t Distance(CTime a, CTime b) {
    return a.Value() > b.Value() ? a.Value() - b.Value() : b.Value() - a.Value();
}

} // namespace

CSonySynchroItem::CSonySynchroItem(const DEVICE_INFO& device, uint32_t syncIntervalSeconds)
    : m_http(device),
      m_deviceTag(device.address + ":" + std::to_string(device.port)),
      m_maxDifference(uint64_t(device.firstTimeoutMs) * kTicksPerMs),
      m_syncIntervalMs(uint64_t(syncIntervalSeconds) * 1000) {
    m_http.WatchStopEvent(&m_stop);
}

void CSonySynchroItem::Deactivate() {
    m_active = false;
    m_stop.Set();
    m_http.Cancel();
}

void CSonySynchroItem::AddLog(IDebugMessage* log) {
    std::lock_guard lock(m_logLock);
    m_logs.push_back(log);
}

void CSonySynchroItem::RemoveLog(IDebugMessage* log) {
    std::lock_guard lock(m_logLock);
    const auto found = std::find(m_logs.begin(), m_logs.end(), log);
    if (found != m_logs.end())
        m_logs.erase(found);
}

void CSonySynchroItem::Check() {
    if (!m_active)
        return;
    if (!m_lastCheck.IsEmpty() && CTime::ElapsedMs(m_lastCheck, CTime::Now()) <= m_syncIntervalMs)
        return;
    Web::HttpRequest inquiry;
    inquiry.path = kInquiryPath;
    std::string answer;
    std::string cause;
    if (!Exchange(inquiry, false, answer, cause))
        return Failed(cause);
    const bool ntpOn = GetInquiryValue(answer, "NtpService") == "on";
    const CTime cameraTime = ReadGmTime(GetInquiryValue(answer, "GmTime"));
    const CTime now = CTime::Now();
    if (Distance(now, cameraTime) >= m_maxDifference) {
        if (!SetCameraClock(ntpOn, cause))
            return Failed(cause);
        Log(kInfoLevel, "talvex::CSonySynchroItem::Check: clock of device " + m_deviceTag + " was " +
                            (cameraTime.IsEmpty() ? std::string("unreadable")
                                                  : "off by " + std::to_string(Distance(now, cameraTime) /
                                                                               kTicksPerMs) + " ms") +
                            (ntpOn ? "; NTP switched off, clock set" : "; clock set"));
    }
    m_lastCheck = now;
    Succeeded();
}

bool CSonySynchroItem::SetCameraClock(bool ntpOn, std::string& cause) {
    const std::string time = WriteGmTime(CTime::Now());
    if (m_http.GetDeviceInfo().generation == kPostGeneration) {
        if (ntpOn && !Post(kSystemPath, kNtpOffBody, cause))
            return false;
        return Post(kEtcPath, "GmTime=" + time, cause);
    }
    Web::HttpRequest request;
    request.path = std::string(kSystemPath) + "?" + (ntpOn ? "NtpService=off&" : "") + "GmTime=" + time;
    std::string body;
    return Exchange(request, true, body, cause);
}

bool CSonySynchroItem::Post(const std::string& path, const std::string& body, std::string& cause) {
    Web::HttpRequest request;
    request.verb = "POST";
    request.path = path;
    request.headers.push_back(kFormContentType);
    request.body.assign(body.begin(), body.end());
    std::string answer;
    return Exchange(request, true, answer, cause);
}

bool CSonySynchroItem::Exchange(const Web::HttpRequest& request, bool allowNoContent, std::string& body,
                                std::string& cause) {
    // Without the query: a cause must not change with the time it would have set.
    const std::string what =
        "\"" + request.verb + " " + request.path.substr(0, request.path.find('?')) + "\" to device " + m_deviceTag;
    if (!m_active || !m_http.Send(request) || m_http.GetStatusCode() == 0) {
        cause = "no answer to " + what;
        return false;
    }
    const uint32_t status = m_http.GetStatusCode();
    if (status != kStatusOk && !(allowNoContent && status == kStatusNoContent)) {
        cause = what + " answered HTTP status " + std::to_string(status);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (status == kStatusOk)
        m_http.ReadAll(bytes);
    if (!m_active) {
        cause = "no answer to " + what;
        return false;
    }
    body.assign(bytes.begin(), bytes.end());
    return true;
}

// Told once per cause; a recovery says so.
void CSonySynchroItem::Failed(const std::string& cause) {
    if (!m_active || cause == m_lastCause)
        return;
    m_lastCause = cause;
    Log(kWarningLevel, "talvex::CSonySynchroItem::Check: clock not synchronised: " + cause);
}

void CSonySynchroItem::Succeeded() {
    if (m_lastCause.empty())
        return;
    m_lastCause.clear();
    Log(kInfoLevel, "talvex::CSonySynchroItem::Check: clock of device " + m_deviceTag + " synchronised again");
}

// Through the first registered driver only: one camera, one line.
void CSonySynchroItem::Log(uint32_t level, const std::string& text) {
    std::lock_guard lock(m_logLock);
    if (!m_logs.empty())
        m_logs.front()->DebugMessage(level, "%s", text.c_str());
}

} // namespace talvex

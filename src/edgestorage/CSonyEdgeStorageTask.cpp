#include "edgestorage/CSonyEdgeStorageTask.h"

#include "http/InquiryValue.h"

#include <algorithm>
#include <charconv>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kInformationLevel = 3;
constexpr uint64_t kUnitsPerMs = 10000;
// The camera's answer names its RTSP port here. (Asked with a leading '/':
// without one the request line is not a valid HTTP target.)
constexpr const char* kCameraInquiry = "/command/inquiry.cgi?inq=camera";
constexpr const char* kRtspPortKey = "RTSPPort";
constexpr const char* kProcessMethod = "talvex::CSonyEdgeStorageTask::ProcessRecordedVideo";
constexpr const char* kReceiveMethod = "talvex::CSonyEdgeStorageTask::ReceiveRecordedVideoStream";
constexpr const char* kStartMethod = "talvex::CSonyEdgeStorageTask::StartRTSP";
constexpr const char* kGetMethod = "talvex::CSonyEdgeStorageTask::RequestGet";
constexpr const char* kStateMethod = "talvex::CSonyEdgeStorageTask::LogRecordingProcessingState";

} // namespace

CSonyEdgeStorageTask::CSonyEdgeStorageTask(IEdgeStorageTaskUser& user, IDriver* driver)
    : CBaseRTSPEdgeStorageTask(user, driver), m_http(*driver->GetDeviceInfo()), m_failureLog(driver) {
    m_http.WatchStopEvent(&m_stopEvent);
}

CSonyEdgeStorageTask::~CSonyEdgeStorageTask() {
    m_http.WatchStopEvent(nullptr);
}

std::string CSonyEdgeStorageTask::SearchPath(uint64_t from, uint64_t to) {
    return "/command/search?mode=simple&Start=" + CSonySearchResultParser::FormatTime(from) +
           "&End=" + CSonySearchResultParser::FormatTime(to);
}

std::string CSonyEdgeStorageTask::ReplayPath(uint32_t generation, const std::string& streamName) {
    return (generation == kMediaPathGeneration ? "/media/" : "/stream?name=") + streamName;
}

void CSonyEdgeStorageTask::OnStart() {
    m_replayed.clear();
}

void CSonyEdgeStorageTask::OnAbort() {
    m_http.Cancel();
    CBaseRTSPEdgeStorageTask::OnAbort();
}

bool CSonyEdgeStorageTask::RequestGet(const std::string& path, std::string& body) {
    body.clear();
    if (path.empty() || IsStopping())
        return false;
    const std::string device = m_driver->GetDeviceTag();
    Web::HttpRequest request;
    request.path = path;
    const bool answered = m_http.Send(request) && m_http.GetStatusCode() != 0;
    const uint32_t status = m_http.GetStatusCode();
    std::vector<uint8_t> bytes;
    if (answered && status == 200)
        m_http.ReadAll(bytes);
    m_http.Cancel();
    if (IsStopping())
        return false;
    if (!answered)
        m_failureLog.Log(kErrorLevel, "%s: Cannot send request \"%s\" to device %s. Probably device is offline",
                         kGetMethod, path.c_str(), device.c_str());
    else if (status == 204)
        return true;
    else if (status == 200 && bytes.empty())
        m_failureLog.Log(kErrorLevel, "%s: %s sent incorrect response for \"%s\" request. Response is empty",
                         kGetMethod, device.c_str(), path.c_str());
    else if (status == 200) {
        body.assign(bytes.begin(), bytes.end());
        return true;
    } else if (status == 401)
        m_failureLog.Log(kErrorLevel, "%s: %s is unable to process \"%s\" request: credentials are invalid",
                         kGetMethod, device.c_str(), path.c_str());
    else if (status == 404)
        m_failureLog.Log(kErrorLevel, "%s: The \"%s\" URL was not found on %s", kGetMethod, path.c_str(),
                         device.c_str());
    else
        m_failureLog.Log(kErrorLevel, "%s: %s is unable to process \"%s\" request. HTTP status code is %u",
                         kGetMethod, device.c_str(), path.c_str(), status);
    return false;
}

bool CSonyEdgeStorageTask::Search(uint64_t from, uint64_t to, std::vector<SonyRecording>& entries) {
    entries.clear();
    if (from == 0 || from >= to)
        return false;
    std::string body;
    if (!RequestGet(SearchPath(from, to), body))
        return false;
    m_failureLog.ResetLastMessage();
    CSonySearchResultParser parser;
    parser.Feed({reinterpret_cast<const uint8_t*>(body.data()), body.size()});
    parser.Finish();
    entries = parser.GetEntries();
    return true;
}

bool CSonyEdgeStorageTask::Process(uint64_t& progress) {
    bool failed = false;
    bool replayedSomething = true;
    while (!IsStopping() && !failed && replayedSomething && progress < GetEnd()) {
        std::vector<SonyRecording> entries;
        if (!Search(progress, GetEnd(), entries)) {
            failed = true;
            break;
        }
        if (entries.empty()) {
            m_driver->DebugMessage(kWarningLevel, "%s: No Edge storage streams found for Sony device %s",
                                   kProcessMethod, m_driver->GetDeviceTag().c_str());
            return true;
        }
        replayedSomething = false;
        for (const SonyRecording& entry : entries) {
            if (IsStopping() || failed)
                break;
            const bool overlaps = entry.start < GetEnd() && entry.end > progress;
            if (!overlaps || m_replayed.count(entry.streamName) != 0)
                continue;
            failed = !ReceiveRecordedVideoStream(entry, progress);
            if (!failed) {
                m_replayed.insert(entry.streamName);
                replayedSomething = true;
            }
        }
    }
    if (IsStopping()) {
        m_driver->DebugMessage(kInformationLevel, "%s: Edge storage stop procesing for Sony device %s",
                               kProcessMethod, m_driver->GetDeviceTag().c_str());
        return false;
    }
    return !failed;
}

bool CSonyEdgeStorageTask::ReceiveRecordedVideoStream(const SonyRecording& entry, uint64_t& progress) {
    m_replayPath = ReplayPath(GetDeviceInfo().generation, entry.streamName);
    const uint64_t replayStart = std::max(progress, entry.start);
    const uint64_t replayEnd = std::min(entry.end, GetEnd());
    BeginReplay(replayStart);
    LogReplayStart(entry, replayStart);
    bool started = StartRTSP(replayStart);
    for (int tries = kStartRetries; !started && tries > 0 && !IsStopping(); --tries) {
        m_driver->DebugMessage(kErrorLevel,
                               "%s: Can't receive RTSP stream for Sony device %s request: %s, response: %d, try "
                               "counter: %d",
                               kReceiveMethod, m_driver->GetDeviceTag().c_str(), m_replayPath.c_str(),
                               int(m_rtspClient.GetStatusCode()), tries);
        if (m_stopEvent.Wait(kRetryPauseMs))
            break;
        BeginReplay(replayStart);
        started = StartRTSP(replayStart);
    }
    bool complete = false;
    if (started) {
        int eventId = -1;
        complete = WaitForReplayEnd(entry, replayEnd, eventId);
        const std::string lastFrame = CSonySearchResultParser::FormatTime(GetProgress());
        if (complete)
            m_driver->DebugMessage(kInformationLevel,
                                   "%s: Edge storage task received for Sony device %s, StreamName:%s, Last received "
                                   "frame time: %s, eventId: %d",
                                   kReceiveMethod, m_driver->GetDeviceTag().c_str(), entry.streamName.c_str(),
                                   lastFrame.c_str(), eventId);
        else
            m_driver->DebugMessage(kInformationLevel,
                                   "%s: Edge storage task receving NOT completed for Sony device %s, StreamName: %s, "
                                   "Last received frame time: %s, eventId: %d",
                                   kReceiveMethod, m_driver->GetDeviceTag().c_str(), entry.streamName.c_str(),
                                   lastFrame.c_str(), eventId);
    }
    CloseRTSPHandlers();
    LogReplayEnd(entry, complete);
    progress = GetProgress();
    return complete;
}

uint16_t CSonyEdgeStorageTask::GetRtspPort() {
    std::string answer;
    if (!RequestGet(kCameraInquiry, answer))
        return kDefaultRtspPort;
    const std::string text = GetInquiryValue(answer, kRtspPortKey);
    uint16_t port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return error == std::errc() && end == text.data() + text.size() && port != 0 ? port : kDefaultRtspPort;
}

std::string CSonyEdgeStorageTask::ProgressText() {
    return CSonySearchResultParser::FormatTime(GetProgress());
}

bool CSonyEdgeStorageTask::StartRTSP(uint64_t replayStart) {
    const DEVICE_INFO& device = GetDeviceInfo();
    const std::string tag = m_driver->GetDeviceTag();
    RTSPSessionParams params;
    params.host = device.address;
    params.user = device.user;
    params.password = device.password;
    params.connectTimeoutMs = device.firstTimeoutMs;
    params.port = GetRtspPort();
    params.path = m_replayPath;
    params.range = "clock=" + CSonySearchResultParser::FormatTime(replayStart) + "-";
    if (!OpenRTSPHandlers(params)) {
        m_failureLog.Log(kWarningLevel, "%s: Can't open RTSP handlers for %s request: %s", kStartMethod, tag.c_str(),
                         ProgressText().c_str());
        return false;
    }
    if (IsStopping() || !Request(RTSP_DESCRIBE)) {
        m_failureLog.Log(kWarningLevel, "%s: Send RTSP DESCRIBE failed for %s request: %s", kStartMethod,
                         tag.c_str(), ProgressText().c_str());
        CloseRTSPHandlers();
        return false;
    }
    if (!SdpInfoReceived(m_rtspClient.GetMediaRecord(SDP_MEDIA_VIDEO))) {
        CloseRTSPHandlers();
        return false;
    }
    if (!Request(RTSP_SETUP)) {
        m_failureLog.Log(kWarningLevel, "%s: Send RTSP SETUP failed for %s request: %s", kStartMethod, tag.c_str(),
                         ProgressText().c_str());
        CloseRTSPHandlers();
        return false;
    }
    // From here on the session exists: closing it tears it down.
    SetPlaying();
    if (IsStopping() || !Request(RTSP_PLAY)) {
        if (!IsStopping())
            m_failureLog.Log(kWarningLevel, "%s: Send RTSP PLAY failed for %s request: %s", kStartMethod,
                             tag.c_str(), ProgressText().c_str());
        CloseRTSPHandlers();
        return false;
    }
    m_failureLog.ResetLastMessage();
    m_lastKeepAliveMs = NowMs();
    // Not BeginReplay: packets may already have set the time reference.
    RestartSilenceTimer();
    return true;
}

bool CSonyEdgeStorageTask::SdpInfoReceived(const SDPMediaRecord& video) {
    std::unique_ptr<CRTPMediaParser> parser = CreateMediaParser(video.encoding, *this);
    if (!parser) {
        m_failureLog.Log(kErrorLevel, "%s: Unable to handle RTP video data from device %s - unexpected payload type \"%s\"",
                         "talvex::CSonyEdgeStorageTask::SdpInfoReceived", m_driver->GetDeviceTag().c_str(),
                         video.encoding.c_str());
        return false;
    }
    SetMediaParser(std::move(parser));
    return true;
}

bool CSonyEdgeStorageTask::KeepAliveIfDue() {
    const uint64_t intervalMs = m_rtspClient.GetKeepAliveIntervalMs();
    const uint64_t now = NowMs();
    if (now - m_lastKeepAliveMs <= intervalMs * 2 / 3)
        return true;
    m_lastKeepAliveMs = now;
    return Request(RTSP_GET_PARAMETER);
}

void CSonyEdgeStorageTask::DrainAfterBye() {
    const uint64_t limit = NowMs() + kByeDrainLimitMs;
    while (MsSinceLastFrame() < kByeQuietMs && NowMs() < limit && !m_finishedEvent.Wait(0))
        if (m_stopEvent.Wait(kByeDrainStepMs))
            return;
}

bool CSonyEdgeStorageTask::ReachedRecordingEnd(const SonyRecording& entry, uint64_t replayEnd) {
    return replayEnd == entry.end && GetProgress() + kRecordingEndToleranceMs * kUnitsPerMs >= entry.end;
}

bool CSonyEdgeStorageTask::WaitForReplayEnd(const SonyRecording& entry, uint64_t replayEnd, int& eventId) {
    const uint64_t silenceMs =
        std::max<uint64_t>(m_rtspClient.GetKeepAliveIntervalMs(), GetDeviceInfo().secondTimeoutMs);
    CEvent* events[] = {&m_stopEvent, &m_finishedEvent, &m_streamEndedEvent};
    for (;;) {
        eventId = CEvent::WaitAny(events, 3, kReplayWaitMs);
        if (eventId == 0)
            return false;
        if (eventId == 1)
            return true;
        if (eventId == 2) {
            DrainAfterBye();
            return ReachedRecordingEnd(entry, replayEnd);
        }
        if (GetProgress() >= replayEnd)
            return true;
        if (!KeepAliveIfDue()) {
            m_driver->DebugMessage(kInformationLevel,
                                   "%s: Keep alive failed for Sony device %s, StreamName:%s, Last received frame "
                                   "time: %s, eventId: %d",
                                   kReceiveMethod, m_driver->GetDeviceTag().c_str(), entry.streamName.c_str(),
                                   ProgressText().c_str(), eventId);
            return false;
        }
        if (MsSinceLastFrame() > silenceMs)
            return ReachedRecordingEnd(entry, replayEnd);
    }
}

void CSonyEdgeStorageTask::LogReplayStart(const SonyRecording& entry, uint64_t replayStart) {
    std::string channelText;
    if (m_driver->GetVideoChannelCount() > 1)
        channelText = "channel " + std::to_string(GetChannel()) + " of ";
    m_driver->DebugMessage(kInformationLevel,
                           "%s: Start receiving of video from recording item %s (from %s to %s) since %s for %sdevice %s",
                           kStateMethod, entry.streamName.c_str(), CTime(entry.start).ToString().c_str(),
                           CTime(entry.end).ToString().c_str(), CTime(replayStart).ToString().c_str(),
                           channelText.c_str(), m_driver->GetDeviceTag().c_str());
}

void CSonyEdgeStorageTask::LogReplayEnd(const SonyRecording& entry, bool complete) {
    const std::string device = m_driver->GetDeviceTag();
    const uint32_t frames = GetFrameCount();
    if (complete && frames != 0)
        m_driver->DebugMessage(kInformationLevel,
                               "%s: Processing of recording item %s on device %s is completed. %u frames were received",
                               kStateMethod, entry.streamName.c_str(), device.c_str(), frames);
    else if (complete)
        m_driver->DebugMessage(kWarningLevel,
                               "%s: Processing of recording item %s on device %s is completed. No new frames were "
                               "received from this file",
                               kStateMethod, entry.streamName.c_str(), device.c_str());
    else if (frames != 0)
        m_driver->DebugMessage(kErrorLevel,
                               "%s: Signal was lost during processing of recording item %s for device %s. %u frames "
                               "were received",
                               kStateMethod, entry.streamName.c_str(), device.c_str(), frames);
    else
        m_driver->DebugMessage(kErrorLevel, "%s: Signal was lost during processing of recording item %s for device %s",
                               kStateMethod, entry.streamName.c_str(), device.c_str());
}

} // namespace talvex

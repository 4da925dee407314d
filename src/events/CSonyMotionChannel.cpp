#include "events/CSonyMotionChannel.h"

#include "common/StringFormat.h"
#include "http/HUtils.h"

namespace talvex {
namespace {

constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kInformationLevel = 3;
constexpr uint32_t kHttpOk = 200;

} // namespace

CSonyMotionChannel::CSonyMotionChannel(uint32_t channel, IDriver* driver, ipcapture::IVideoChannelCallback* callback)
    : CBaseMotionChannel(channel, driver, callback), m_sender(*driver->GetDeviceInfo()), m_logger(driver) {
    // Every wait of a request also ends when the channel is stopped.
    m_sender.WatchStopEvent(&GetStopEvent());
}

CSonyMotionChannel::~CSonyMotionChannel() {
    Stop();
}

void CSonyMotionChannel::AbortRequest() {
    m_sender.Cancel();
}

void CSonyMotionChannel::ThreadFunction() {
    if (EnableAlarmData())
        ReceiveAlarmData();
}

bool CSonyMotionChannel::EnableAlarmData() {
    if (m_driver->GetDeviceInfo()->generation < kFirstGenerationWithoutMdAlarmData && !Request(kMotionAlarmDataPath))
        return false;
    return Request(kAlarmDataPath);
}

bool CSonyMotionChannel::Request(const char* path) {
    if (StopRequested())
        return false;
    const CResultDef result = HUtils::SendCommand(m_sender, path);
    if (result.GetDetail() == 0)
        return true;
    if (!StopRequested())
        LogTrouble(result.GetMessage());
    return false;
}

void CSonyMotionChannel::ReceiveAlarmData() {
    if (!OpenAlarmStream())
        return;
    ReadAlarmStream();
    // Closes the request; a stream that ended is opened again by the next pass.
    m_sender.Cancel();
    // Logged once: a camera that ends every stream at once would otherwise
    // fill the log with an end and a recovery per second.
    if (!StopRequested())
        m_logger.Log(kWarningLevel, "%s(): The alarm data stream \"%s\" of device %s, channel %u ended; it is opened again",
                     ThreadFunctionName(), kAlarmStreamPath, m_driver->GetDeviceTag().c_str(), GetChannel());
}

bool CSonyMotionChannel::OpenAlarmStream() {
    if (StopRequested())
        return false;
    Web::HttpRequest request;
    request.path = kAlarmStreamPath;
    const bool answered = m_sender.Send(request);
    const uint32_t status = m_sender.GetStatusCode();
    if (answered && status == kHttpOk) {
        LogRecovery();
        return true;
    }
    if (!StopRequested())
        LogTrouble(answered ? FormatString("device %s answered \"%s\" with HTTP status %u",
                                           m_driver->GetDeviceTag().c_str(), kAlarmStreamPath, status)
                            : FormatString("device %s did not answer \"%s\"", m_driver->GetDeviceTag().c_str(),
                                           kAlarmStreamPath));
    return false;
}

void CSonyMotionChannel::ReadAlarmStream() {
    m_parser.Reset();
    std::vector<uint8_t> piece;
    while (!StopRequested()) {
        const uint32_t available = m_sender.QueryDataAvailable();
        if (available == 0 || StopRequested())
            break;
        if (m_sender.ReadChunk(piece, std::min(available, kReadChunkBytes), true) == 0)
            break;
        ReportStates(m_parser.Feed(piece));
    }
}

void CSonyMotionChannel::ReportStates(const std::vector<bool>& states) {
    for (bool motion : states)
        ReportMotion(motion);
}

void CSonyMotionChannel::LogTrouble(const std::string& cause) {
    m_troubleLogged = true;
    m_logger.Log(kWarningLevel, "%s(): Motion detection of device %s, channel %u does not work: %s",
                 ThreadFunctionName(), m_driver->GetDeviceTag().c_str(), GetChannel(), cause.c_str());
}

void CSonyMotionChannel::LogRecovery() {
    if (!m_troubleLogged)
        return;
    m_troubleLogged = false;
    m_logger.ResetLastMessage();
    m_driver->DebugMessage(kInformationLevel, "%s(): Motion detection of device %s, channel %u works again",
                           ThreadFunctionName(), m_driver->GetDeviceTag().c_str(), GetChannel());
}

} // namespace talvex

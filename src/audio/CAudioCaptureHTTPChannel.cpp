#include "audio/CAudioCaptureHTTPChannel.h"

#include <algorithm>
#include <vector>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kUnauthorized = 401;
constexpr const char* kConnect = "talvex::CAudioCaptureHTTPChannel::ConnectToAudioDevice";
constexpr const char* kReceive = "talvex::CAudioCaptureHTTPChannel::ReceiveAudioData";

bool IsSuccessStatus(uint32_t status) {
    return status >= 200 && status < 300;
}

} // namespace

CAudioCaptureHTTPChannel::CAudioCaptureHTTPChannel(IDriver* driver, uint32_t /*channel*/, uint32_t id,
                                                   ipcapture::IAudioCaptureCallback* callback, void* /*context*/)
    : CBaseThread(driver),
      m_driver(driver),
      m_callback(callback),
      m_id(id),
      m_logger(driver),
      m_status(kInputStatusEdges,
               [this](uint32_t status) {
                   if (m_callback)
                       m_callback->OnStatusChanged(m_id, status);
               }),
      m_settings(driver, "talvex::CAudioCaptureHTTPChannel::SetAudioStreamParameters", true),
      m_sender(*driver->GetDeviceInfo()) {
    m_sender.WatchStopEvent(&GetStopEvent());
}

CAudioCaptureHTTPChannel::~CAudioCaptureHTTPChannel() {
    StopChannel();
}

bool CAudioCaptureHTTPChannel::StartChannel() {
    if (!StopChannel()) {
        m_driver->DebugMessage(kErrorLevel, "talvex::CAudioCaptureHTTPChannel::StartChannel:: Could not start capture");
        return false;
    }
    std::lock_guard lock(m_lock);
    m_status.Set(ipcapture::ChannelStarting);
    return StartThread(kThreadName);
}

bool CAudioCaptureHTTPChannel::StopChannel() {
    std::lock_guard lock(m_lock);
    m_status.Set(ipcapture::ChannelStopping);
    GetStopEvent().Set();
    m_sender.Cancel();
    const uint32_t waitMs = std::max(kStopWaitFactor * m_driver->GetDeviceInfo()->firstTimeoutMs, kMinimumStopWaitMs);
    if (!JoinThread(waitMs))
        return false;
    m_status.Set(ipcapture::ChannelStopped);
    return true;
}

void CAudioCaptureHTTPChannel::Run() {
    const uint32_t retryMs = m_driver->GetDeviceInfo()->firstTimeoutMs / 2;
    for (;;) {
        m_status.Set(ipcapture::ChannelStarting);
        if (!IsStopRequested() && m_settings.Apply(m_sender)) {
            if (!ConnectToAudioDevice()) {
                m_status.Set(ipcapture::ChannelSignalLost);
            } else {
                m_status.Set(ipcapture::ChannelRunning);
                if (!ReceiveAudioData())
                    m_status.Set(ipcapture::ChannelSignalLost);
            }
        }
        if (GetStopEvent().Wait(retryMs)) {
            m_status.Set(ipcapture::ChannelStopping);
            return;
        }
    }
}

bool CAudioCaptureHTTPChannel::ConnectToAudioDevice() {
    if (IsStopRequested())
        return false;
    Web::HttpRequest request;
    request.path = "/audio";
    const bool answered = m_sender.Send(request);
    const uint32_t status = m_sender.GetStatusCode();
    const char* address = m_driver->GetDeviceInfo()->address.c_str();
    if (!answered || status == 0)
        m_logger.Log(kErrorLevel, "%s: Error while connecting to camera %s.", kConnect, address);
    else if (status == kUnauthorized)
        m_logger.Log(kErrorLevel, "%s: connection to %s failed. Invalid username/password.", kConnect, address);
    else if (!IsSuccessStatus(status))
        m_logger.Log(kErrorLevel, "%s: Camera %s responded with error code %u.", kConnect, address, status);
    return answered && IsSuccessStatus(status);
}

bool CAudioCaptureHTTPChannel::ReceiveAudioData() {
    CAudioParser parser(m_driver, uint8_t(m_id));
    parser.SetFormat(m_settings.GetCodec().format);
    parser.SetCallback(this);
    const char* address = m_driver->GetDeviceInfo()->address.c_str();
    std::vector<uint8_t> piece;
    bool parsedAny = false;
    while (!IsStopRequested()) {
        if (m_sender.ReadChunk(piece, kReadChunkBytes, true) == 0) {
            if (IsStopRequested())
                return true;
            if (!parsedAny)
                m_logger.Log(kErrorLevel, "%s: Could not receive audio packet from device %s, error code is %u.",
                             kReceive, address, m_sender.GetLastError());
            break;
        }
        if (!parser.Parse(piece)) {
            m_logger.Log(kErrorLevel, "%s: Could not parse audio packet (%u bytes) from device %s", kReceive,
                         unsigned(piece.size()), address);
            break;
        }
        if (!parsedAny)
            m_logger.ResetLastMessage();
        parsedAny = true;
    }
    m_sender.Cancel();
    return IsStopRequested();
}

bool CAudioCaptureHTTPChannel::OnAudioFrame(ipcapture::IAudioFrame* frame) {
    return !IsStopRequested() && m_callback && m_callback->OnAudioFrame(frame);
}

} // namespace talvex

#include "audio/CAudioCaptureChannel.h"

#include "streaming/CRTPPacket.h"

namespace talvex {

CAudioCaptureChannel::CAudioCaptureChannel(IDriver* driver, uint32_t channel, uint32_t id,
                                           ipcapture::IAudioCaptureCallback* callback, void* /*context*/)
    : CBaseAudioRTSPChannel(driver, channel, id, callback),
      m_parser(driver, this, uint8_t(id), driver->GetDriverName() + "::AudioStream"),
      m_sender(*driver->GetDeviceInfo()),
      m_settings(driver, "talvex::CAudioCaptureChannel::SetAudioStreamParameters", false) {
    m_sender.WatchStopEvent(&GetStopEvent());
}

CAudioCaptureChannel::~CAudioCaptureChannel() {
    // The worker runs this class's hooks: it ends before the members go.
    StopChannel();
}

bool CAudioCaptureChannel::SetAudioStreamParameters() {
    if (!m_settings.Apply(m_sender))
        return false;
    m_parser.SetFormat(m_settings.GetCodec().format);
    m_transportMode = m_settings.GetRtpMode();
    if (const std::optional<uint16_t> port = m_settings.GetRtspPort())
        m_rtspPort = *port;
    return true;
}

bool CAudioCaptureChannel::ConnectHook() {
    SetStatus(ipcapture::ChannelStarting);
    if (SetAudioStreamParameters())
        return true;
    SetStatus(ipcapture::ChannelSignalLost);
    return false;
}

bool CAudioCaptureChannel::OpenReceiversAnyPort() {
    if (m_transportMode == RTSP_TRANSPORT_INTERLEAVED) {
        ReceiversOpened();
    } else if (!CBaseRTPDataChannel::OpenReceiversAnyPort()) {
        // Without a port pair the attempt failed like any other: retried as signal lost.
        if (!IsStopRequested())
            SetStatus(ipcapture::ChannelSignalLost);
        return false;
    }
    return StartRtspSession(m_rtspPort, m_transportMode);
}

void CAudioCaptureChannel::ReceiversOpened() {
    SetStatus(ipcapture::ChannelRunning);
}

void CAudioCaptureChannel::PacketHook(const CRTPPacket& packet) {
    m_parser.OnRtpPacket(packet.GetPayload(), packet.GetSequenceNumber());
}

void CAudioCaptureChannel::KeepAliveHook() {
    KeepAliveCheck();
}

void CAudioCaptureChannel::SignalLostHook() {
    SetStatus(ipcapture::ChannelSignalLost);
    SetDeviceState(false);
}

void CAudioCaptureChannel::CloseReceivers() {
    if (!IsStopRequested() && GetStatus() != ipcapture::ChannelSignalLost)
        SetStatus(ipcapture::ChannelStopping);
    CloseRtspSession();
    CBaseRTPDataChannel::CloseReceivers();
}

void CAudioCaptureChannel::ReceiversClosed() {
    if (IsStopRequested() || GetStatus() != ipcapture::ChannelSignalLost)
        SetStatus(ipcapture::ChannelStopping);
}

void CAudioCaptureChannel::StoppedHook() {
    SetStatus(ipcapture::ChannelStopped);
    SetDeviceState(false);
}

bool CAudioCaptureChannel::OnAudioFrame(ipcapture::IAudioFrame* frame) {
    if (IsStopRequested() || GetStatus() != ipcapture::ChannelRunning)
        return false;
    ipcapture::IAudioCaptureCallback* callback = GetCallback();
    if (!callback || !callback->OnAudioFrame(frame))
        return false;
    SetDeviceState(true);
    if (m_transportMode == RTSP_TRANSPORT_INTERLEAVED)
        KeepAliveCheck();
    return true;
}

} // namespace talvex

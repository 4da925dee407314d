// The audio track of the camera's RTSP session (generations 5 to 7): the
// camera is prepared over HTTP, then the track is received as RTP and
// gathered into frames for the host.
#pragma once

#include "audio/CAudioInputSettings.h"
#include "audio/CBaseAudioRTSPChannel.h"
#include "audio/CBaseRTPAudioParser.h"
#include "http/CHttpSender.h"

#include <atomic>

namespace talvex {

class CAudioCaptureChannel : public CBaseAudioRTSPChannel, public IAudioParserCallback {
public:
    static constexpr uint16_t kDefaultRtspPort = 554;

    // context: the host's value, not needed by this channel.
    CAudioCaptureChannel(IDriver* driver, uint32_t channel, uint32_t id, ipcapture::IAudioCaptureCallback* callback,
                         void* context);
    ~CAudioCaptureChannel() override;

    // IAudioParserCallback: a finished frame on its way to the host.
    bool OnAudioFrame(ipcapture::IAudioFrame* frame) override;

protected:
    bool ConnectHook() override;
    bool OpenReceiversAnyPort() override;
    void ReceiversOpened() override;
    void PacketHook(const CRTPPacket& packet) override;
    void KeepAliveHook() override;
    void SignalLostHook() override;
    void CloseReceivers() override;
    void ReceiversClosed() override;
    void StoppedHook() override;

private:
    bool SetAudioStreamParameters();

    CBaseRTPAudioParser m_parser;
    Web::CHttpSender m_sender;
    CAudioInputSettings m_settings;
    std::atomic<uint32_t> m_transportMode{RTSP_TRANSPORT_UDP};
    uint16_t m_rtspPort = kDefaultRtspPort;
};

} // namespace talvex

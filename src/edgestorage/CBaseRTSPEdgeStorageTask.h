// An edge storage task that replays recordings over RTSP: the RTSP client,
// the RTP receiver and RTCP handler of the replay session, and the
// depacketiser chosen from the session description.
#pragma once

#include "edgestorage/CBaseEdgeStorageTask.h"
#include "streaming/CBaseRTSPClient.h"
#include "streaming/CRTCPHandler.h"
#include "streaming/CRTPReceiver.h"
#include "streaming/IRTPReceiverUser.h"
#include "video/CRTPMediaParser.h"
#include "video/IMediaParserOwner.h"

#include <atomic>
#include <memory>
#include <string>

namespace talvex {

class CBaseRTSPEdgeStorageTask : public CBaseEdgeStorageTask,
                                 public IMediaParserOwner,
                                 public IRTPReceiverUser,
                                 public IRTCPHandlerUser {
public:
    static constexpr uint32_t kRtspOk = 200;

    CBaseRTSPEdgeStorageTask(IEdgeStorageTaskUser& user, IDriver* driver);
    ~CBaseRTSPEdgeStorageTask() override;

    // The depacketiser for an SDP encoding name (compared in lower case):
    // empty or "jpeg" JPEG, "h264…" H.264, "mpeg4…" or "mp4v…" MPEG-4; null otherwise.
    static std::unique_ptr<CRTPMediaParser> CreateMediaParser(const std::string& encoding, IMediaParserOwner& owner);

    // IMediaParserOwner
    IDebugMessage& GetLogger() override { return *m_driver; }
    const DEVICE_INFO& GetDeviceInfo() override { return *m_driver->GetDeviceInfo(); }
    ipcapture::IFrameAllocator* GetFrameAllocator() override { return m_driver->GetHostContext(); }

    // IRTPReceiverUser: only the camera's packets reach the depacketiser, and
    // the first of them (once the depacketiser is chosen) sets the replay's time reference.
    void OnRTPPacket(const sockaddr_in& fromAddress, const CRTPPacket& packet) override;
    void OnReceiveTimeout() override {}
    void OnClosed() override {}

    // IRTCPHandlerUser: the camera ended the replay.
    void OnPeerBye() override { m_streamEndedEvent.Set(); }

protected:
    // Opens the RTP port pair and connects the RTSP client (RTP over UDP).
    bool OpenRTSPHandlers(RTSPSessionParams& params);
    // The request went out and the camera answered 200.
    bool Request(uint32_t kind);
    // Takes the depacketiser for the replay, with the description's decoder configuration.
    void SetMediaParser(std::unique_ptr<CRTPMediaParser> parser);
    void SetPlaying() { m_playing = true; }
    // TEARDOWN when playing, then disconnect and stop the reception.
    void CloseRTSPHandlers();
    void OnAbort() override;

    CBaseRTSPClient m_rtspClient;
    CManualEvent m_streamEndedEvent;

private:
    bool SetUpRTP();

    uint32_t m_cameraAddress = 0; // IPv4, network order
    CRTPReceiver m_receiver;
    CRTCPHandler m_rtcpHandler;
    CEvent m_packetSeenEvent{false};
    std::atomic<bool> m_searchingPorts{false};
    // Owned here; the reception thread sees it through m_activeParser, which
    // is cleared after the reception stopped and before the parser goes.
    std::unique_ptr<CRTPMediaParser> m_parser;
    std::atomic<CRTPMediaParser*> m_activeParser{nullptr};
    bool m_playing = false;
};

} // namespace talvex

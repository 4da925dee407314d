#include "edgestorage/CBaseRTSPEdgeStorageTask.h"

#include "platform/CSocket.h"
#include "streaming/RTPPortPair.h"
#include "video/CH264RTPMediaParser.h"
#include "video/CJpegRTPMediaParser.h"
#include "video/CMpeg4RTPMediaParser.h"

#include <algorithm>
#include <cctype>

namespace talvex {

CBaseRTSPEdgeStorageTask::CBaseRTSPEdgeStorageTask(IEdgeStorageTaskUser& user, IDriver* driver)
    : CBaseEdgeStorageTask(user, driver) {}

CBaseRTSPEdgeStorageTask::~CBaseRTSPEdgeStorageTask() {
    CloseRTSPHandlers();
}

std::unique_ptr<CRTPMediaParser> CBaseRTSPEdgeStorageTask::CreateMediaParser(const std::string& encoding,
                                                                             IMediaParserOwner& owner) {
    std::string name = encoding;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (name.empty() || name == "jpeg")
        return std::make_unique<CJpegRTPMediaParser>(owner);
    if (name.starts_with("h264"))
        return std::make_unique<CH264RTPMediaParser>(owner);
    if (name.starts_with("mpeg4") || name.starts_with("mp4v"))
        return std::make_unique<CMpeg4RTPMediaParser>(owner);
    return nullptr;
}

void CBaseRTSPEdgeStorageTask::OnRTPPacket(const sockaddr_in& fromAddress, const CRTPPacket& packet) {
    // Another sender on our port (a stale stream, a stray peer) never reaches the depacketiser.
    if (fromAddress.sin_addr.s_addr != m_cameraAddress)
        return;
    if (m_searchingPorts.load(std::memory_order_relaxed))
        m_packetSeenEvent.Set();
    m_rtcpHandler.OnPacket(packet.GetSequenceNumber(), packet.GetTimestamp(), packet.GetArrivalNs());
    CRTPMediaParser* parser = m_activeParser.load();
    if (!parser)
        return;
    // The camera's first packet stands for the Range start, whatever frame it carries:
    // a replay seldom starts on a key frame, and the depacketiser drops the frames
    // before one without ever asking their times.
    AnchorReplayTime(packet.GetTimestamp());
    parser->ProcessPacket(packet);
}

bool CBaseRTSPEdgeStorageTask::SetUpRTP() {
    sockaddr_in address{};
    if (!ResolveIPv4(GetDeviceInfo().address, 0, address))
        return false;
    m_cameraAddress = address.sin_addr.s_addr;
    // Whole seconds, at least one: a zero time-out would make the receiver spin.
    m_receiver.SetTimeout(std::max<uint32_t>(1, GetDeviceInfo().firstTimeoutMs / 1000));
    m_receiver.SetUser(this);
    m_packetSeenEvent.Reset();
    m_searchingPorts = true;
    const bool opened = OpenRTPPortPair(m_receiver, m_rtcpHandler, m_cameraAddress, m_stopEvent, m_packetSeenEvent);
    m_searchingPorts = false;
    if (opened)
        m_rtcpHandler.SetUser(this);
    return opened;
}

bool CBaseRTSPEdgeStorageTask::OpenRTSPHandlers(RTSPSessionParams& params) {
    CloseRTSPHandlers();
    m_streamEndedEvent.Reset();
    if (!SetUpRTP())
        return false;
    params.rtpPort = m_receiver.GetLocalPort();
    params.rtcpPort = m_rtcpHandler.GetLocalPort();
    return m_rtspClient.Connect(params, this, RTSP_TRANSPORT_UDP);
}

bool CBaseRTSPEdgeStorageTask::Request(uint32_t kind) {
    return m_rtspClient.SendRequest(kind) && m_rtspClient.GetStatusCode() == kRtspOk;
}

void CBaseRTSPEdgeStorageTask::SetMediaParser(std::unique_ptr<CRTPMediaParser> parser) {
    std::vector<uint8_t> first, second, configuration;
    m_rtspClient.GetParameterSets(first, second, configuration);
    parser->SetConfiguration(first, second, configuration);
    parser->SetClient(this);
    m_parser = std::move(parser);
    m_activeParser = m_parser.get();
}

void CBaseRTSPEdgeStorageTask::CloseRTSPHandlers() {
    if (m_playing && m_rtspClient.IsConnected())
        m_rtspClient.SendRequest(RTSP_TEARDOWN);
    m_playing = false;
    m_rtspClient.Disconnect();
    m_receiver.SetUser(nullptr);
    m_receiver.Close();
    m_rtcpHandler.SetUser(nullptr);
    m_rtcpHandler.Close();
    m_activeParser = nullptr;
    m_parser.reset();
}

void CBaseRTSPEdgeStorageTask::OnAbort() {
    // Ends a request that blocks the task's thread; the session is closed there.
    m_rtspClient.Disconnect();
}

} // namespace talvex

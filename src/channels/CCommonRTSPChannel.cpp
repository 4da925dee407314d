#include "channels/CCommonRTSPChannel.h"

#include "common/ConfigFile.h"
#include "channels/CSonyCommonChannel.h"
#include "video/CH264RTPMediaParser.h"
#include "video/CJpegRTPMediaParser.h"
#include "video/CMpeg4RTPMediaParser.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace talvex {
namespace {

// Generation 6 and later serve the streams at the root ("/video1"), older ones under "/media".
constexpr uint32_t kFirstRootPathGeneration = 6;

std::unique_ptr<CRTPMediaParser> CreateRTPMediaParser(uint32_t codecType, IMediaParserOwner& owner) {
    switch (codecType) {
    case kCodecJpeg:
        return std::make_unique<CJpegRTPMediaParser>(owner);
    case kCodecMpeg4:
        return std::make_unique<CMpeg4RTPMediaParser>(owner);
    default:
        return std::make_unique<CH264RTPMediaParser>(owner);
    }
}

// The RTP encoding name (RFC 3551, RFC 6184, RFC 3016) of a codec type.
const char* EncodingName(uint32_t codecType) {
    switch (codecType) {
    case kCodecJpeg:
        return "JPEG";
    case kCodecMpeg4:
        return "MP4V-ES";
    default:
        return "H264";
    }
}

bool SameEncoding(const std::string& offered, const char* expected) {
    const std::string name = offered.substr(0, offered.find('/'));
    return std::equal(name.begin(), name.end(), expected, expected + std::strlen(expected),
                      [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
}

} // namespace

uint32_t ReadVideoTransportMode(IDriver* driver) {
    return ReadVideoConfig(driver->GetDriverName(), driver->GetHostDirectory(), *driver->GetDeviceInfo()).rtpMode;
}

CCommonRTSPChannel::CCommonRTSPChannel(uint32_t channelIndex, IDriver* driver,
                                       ipcapture::IVideoChannelCallback* frameSink,
                                       TSmartPtr<IVideoSettingsManager> settingsManager, uint32_t codecType)
    : CBaseRTSPChannel(channelIndex, driver, frameSink, ReadVideoTransportMode(driver)),
      m_settingsManager(std::move(settingsManager)),
      m_codecType(codecType),
      m_parser(CreateRTPMediaParser(codecType, *this)),
      m_privacy(driver, m_stopEvent) {
    m_parser->SetClient(this);
}

CCommonRTSPChannel::~CCommonRTSPChannel() {
    StopThread();
}

bool CCommonRTSPChannel::Restart(const ChannelStartParameters& parameters) {
    ChannelStartParameters next = GetStartParameters();
    next.width = parameters.width;
    next.height = parameters.height;
    SetStartParameters(next);
    return false;
}

void CCommonRTSPChannel::FillSessionParams(RTSPSessionParams& params) {
    params.mediaIndex = SDP_MEDIA_VIDEO;
    params.authScheme = RTSP_AUTH_NONE;
    const std::string root = GetDeviceInfo().generation < kFirstRootPathGeneration ? "/media" : "";
    params.path = root + "/video" + std::to_string(GetStreamIndex() + 1);
    params.port = kDefaultRtspPort;
    if (m_settingsManager)
        if (const uint16_t port = m_settingsManager->GetRTSPPort())
            params.port = port;
}

bool CCommonRTSPChannel::PrepareDevice() {
    if (IsStopping())
        return false;
    const ChannelStartParameters parameters = GetStartParameters();
    if (parameters.kind == kRecordingChannel && !m_privacy.Apply()) {
        SetStartFailure("the privacy masks were not set: the camera was not reached");
        return false;
    }
    if (!m_settingsManager)
        return true;
    if (IsStopping())
        return false;
    const VIDEO_STREAM_SETTINGS wish = ToStreamWish(parameters);
    if (m_settingsManager->SetStreamSettings(&m_stopEvent, m_codecType, &wish))
        return true;
    const std::string cause = m_settingsManager->GetLastFailure();
    SetStartFailure("the camera's stream settings were not applied" + (cause.empty() ? "" : ": " + cause));
    return false;
}

bool CCommonRTSPChannel::AcceptsDescription() {
    const std::string& offered = m_rtspClient.GetMediaRecord(SDP_MEDIA_VIDEO).encoding;
    const char* expected = EncodingName(m_codecType);
    // A static payload type without an rtpmap line names no encoding: nothing to compare.
    if (offered.empty() || SameEncoding(offered, expected))
        return true;
    SetStartFailure("the camera's stream description offers " + offered.substr(0, offered.find('/')) +
                    ", the channel asked for " + expected);
    // The camera did not take the codec: the next attempt negotiates the settings anew.
    if (m_settingsManager)
        m_settingsManager->Renegotiate();
    return false;
}

VIDEO_STREAM_SETTINGS CCommonRTSPChannel::ToStreamWish(const ChannelStartParameters& parameters) {
    VIDEO_STREAM_SETTINGS wish;
    wish.frameInterval = parameters.firstValue;
    wish.quality = parameters.secondValue;
    wish.width = parameters.width;
    wish.height = parameters.height;
    wish.streamIndex = int32_t(parameters.kind);
    return wish;
}

void CCommonRTSPChannel::SetParserConfiguration(std::vector<uint8_t> first, std::vector<uint8_t> second,
                                                std::vector<uint8_t> configuration) {
    std::lock_guard lock(m_configurationLock);
    m_pendingConfiguration = ParserConfiguration{std::move(first), std::move(second), std::move(configuration)};
}

void CCommonRTSPChannel::ProcessPacket(const CRTPPacket& packet) {
    m_rtcpHandler.OnPacket(packet.GetSequenceNumber(), packet.GetTimestamp(), packet.GetArrivalNs());
    std::optional<ParserConfiguration> configuration;
    {
        std::lock_guard lock(m_configurationLock);
        configuration.swap(m_pendingConfiguration);
    }
    if (configuration)
        m_parser->SetConfiguration(configuration->first, configuration->second, configuration->configuration);
    m_parser->ProcessPacket(packet);
}

bool CCommonRTSPChannel::Pause() {
    // Cameras answer PAUSE inconsistently; ending the session is what works everywhere.
    CloseSession();
    return true;
}

void CCommonRTSPChannel::Interrupt() {
    m_privacy.Interrupt();
    CBaseRTSPChannel::Interrupt();
}

bool CCommonRTSPChannel::Play() {
    std::lock_guard lock(m_requestLock);
    const RTSPSessionParams params = BuildSessionParams();
    bool played = ConnectClient(params) && Request(RTSP_DESCRIBE);
    if (played && !IsSuspended()) {
        OnDescription();
        played = Request(RTSP_SETUP);
    }
    if (played && !IsSuspended() && !IsStopping())
        played = RequestPlay();
    if (played && IsSuspended())
        m_rtspClient.SendRequest(RTSP_TEARDOWN);
    if (!played)
        m_rtspClient.Disconnect();
    return played;
}

} // namespace talvex

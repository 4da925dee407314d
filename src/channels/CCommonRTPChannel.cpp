#include "channels/CCommonRTPChannel.h"

#include "common/StringFormat.h"
#include "http/HUtils.h"
#include "video/CHostFrame.h"
#include "video/FrameTypes.h"

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
// RTP over UDP is the only transport of HTTP-started streams.
constexpr uint32_t kUdpTransport = 0;

} // namespace

CCommonRTPChannel::CCommonRTPChannel(uint32_t channelIndex, IDriver* driver,
                                     ipcapture::IVideoChannelCallback* frameSink, uint32_t codecType)
    : CBaseRTPChannel(channelIndex, driver, frameSink, kUdpTransport),
      CSonyCommonChannel(driver, codecType, m_stopEvent) {}

CCommonRTPChannel::~CCommonRTPChannel() {
    StopThread();
}

bool CCommonRTPChannel::PrepareDevice() {
    return !IsStopping() && PrepareStreamOptions(GetStartParameters());
}

std::string CCommonRTPChannel::ExtraOptions(const std::string& current) {
    return OptionPair(current, "Color", "color") + OptionPair(current, "Multicast", "off") +
           OptionPair(current, "RtpExpire", "10000");
}

bool CCommonRTPChannel::StartSession() {
    {
        std::lock_guard lock(m_bufferLock);
        m_firstPacket = true;
        m_discarding = true;
        m_buffer.clear();
        // A new stream starts anywhere: later frames may refer to pictures this one never sent.
        m_keyFrameSeen = false;
    }
    if (IsStopping())
        return false;
    const std::string url = StreamPath() + FormatString("?UdpMode=unicast&UdpPort=%u", unsigned(m_receiver.GetLocalPort()));
    if (HUtils::RequestOk(m_sender, url))
        return true;
    TellStartFailure("unable to start the RTP stream: " + HttpFailure(url, m_sender.GetStatusCode()));
    return false;
}

void CCommonRTPChannel::ProcessPacket(const CRTPPacket& packet) {
    m_rtcpHandler.OnPacket(packet.GetSequenceNumber(), packet.GetTimestamp(), packet.GetArrivalNs());
    std::lock_guard lock(m_bufferLock);
    const uint16_t sequence = packet.GetSequenceNumber();
    if (!m_firstPacket && sequence != uint16_t(m_lastSequence + 1)) {
        DiscardUntilKeyFrame();
    }
    m_firstPacket = false;
    m_lastSequence = sequence;
    const std::span<const uint8_t> payload = packet.GetPayload();
    m_buffer.insert(m_buffer.end(), payload.begin(), payload.end());
    if (m_buffer.size() > kMaxFrameBytes) {
        m_driver->DebugMessage(kErrorLevel, "%s(): Buffer overflow detected for device %s. Current buffer size is %u bytes",
                               "talvex::CCommonRTPChannel::ProcessPacket", m_driver->GetDeviceTag().c_str(),
                               unsigned(m_buffer.size()));
        DiscardUntilKeyFrame();
        return;
    }
    if (!packet.GetMarker())
        return;
    if (!m_discarding && m_buffer.size() > kMinFrameBytes)
        ProcessRtpFrame(m_buffer, packet.GetTimestamp());
    m_buffer.clear();
    m_discarding = false;
}

// A lost frame leaves the frames after it without their reference picture:
// nothing is delivered again before the next key frame.
void CCommonRTPChannel::DiscardUntilKeyFrame() {
    m_discarding = true;
    m_buffer.clear();
    m_keyFrameSeen = false;
}

bool CCommonRTPChannel::DeliverCodecFrame(std::span<const uint8_t> frame, uint32_t rtpTimestamp,
                                          const FrameInfo& info, uint32_t typeCode, const char* frameName) {
    if (info.hasSize) {
        m_width = info.width;
        m_height = info.height;
    }
    m_keyFrameSeen = m_keyFrameSeen || info.keyFrame;
    if (!m_keyFrameSeen)
        return true;
    uint16_t width = m_width, height = m_height;
    if (width == 0 || height == 0)
        GetConfiguredSize(width, height);
    // Room for a codec trailer the host may add.
    constexpr uint32_t kFrameSlack = 5;
    CHostFrame hostFrame(GetFrameAllocator(), typeCode, uint32_t(frame.size()) + kFrameSlack, frameName);
    if (!hostFrame || !hostFrame.CopyData(frame))
        return false;
    CTime time;
    ConvertTimestamp(rtpTimestamp, time);
    hostFrame.Describe(uint32_t(frame.size()), width, height, typeCode, time);
    hostFrame.DeliverTo(*this);
    return true;
}

} // namespace talvex

#include "video/CRTPMediaParser.h"

#include "video/CHostFrame.h"
#include "video/FrameTypes.h"

namespace talvex {

CRTPMediaParser::CRTPMediaParser(IMediaParserOwner& owner) : m_owner(owner) {}

void CRTPMediaParser::ProcessPacket(const CRTPPacket& packet) {
    if (!IsInOrder(packet.GetSequenceNumber()))
        Reset();
    if (!AppendPayload(packet.GetPayload())) {
        Reset();
        return;
    }
    if (!CheckBufferSize())
        return;
    if (IsFrameEnd(packet) && !m_frame.empty()) {
        ProcessFrame(packet.GetTimestamp());
        m_frameTrim.EmptyAfterFrame(m_frame);
    }
}

void CRTPMediaParser::Reset() {
    m_frame.clear();
}

void CRTPMediaParser::SetConfiguration(std::span<const uint8_t> first, std::span<const uint8_t> second,
                                       std::span<const uint8_t> configuration) {
    m_configurations[kFirstParameterSet].assign(first.begin(), first.end());
    m_configurations[kSecondParameterSet].assign(second.begin(), second.end());
    m_configurations[kConfiguration].assign(configuration.begin(), configuration.end());
}

bool CRTPMediaParser::IsInOrder(uint16_t sequenceNumber) {
    bool inOrder = m_firstPacket || sequenceNumber == uint16_t(m_lastSequence + 1);
    m_firstPacket = false;
    m_lastSequence = sequenceNumber;
    return inOrder;
}

bool CRTPMediaParser::CheckBufferSize() {
    if (m_frame.size() <= kMaxFrameBytes)
        return true;
    const DEVICE_INFO& device = m_owner.GetDeviceInfo();
    m_owner.GetLogger().DebugMessage(1, "%s: Frame buffer overflow detected, device %s:%u",
                                     "talvex::CRTPMediaParser::CheckBufferSize", device.address.c_str(),
                                     unsigned(device.port));
    Reset();
    return false;
}

bool CRTPMediaParser::CanDeliver() {
    return m_client != nullptr && m_owner.GetFrameAllocator() != nullptr;
}

void CRTPMediaParser::DeliverAssembledFrame(uint32_t typeCode, uint32_t rtpTimestamp, const char* functionName) {
    m_client->GetDeviceName(m_deviceName);
    CHostFrame hostFrame(m_owner.GetFrameAllocator(), typeCode, uint32_t(m_frame.size()), m_deviceName);
    if (!hostFrame)
        return;
    if (!hostFrame.CopyData(m_frame)) {
        m_owner.GetLogger().DebugMessage(1, "%s: Data copying error, device %s", functionName, m_deviceName.c_str());
        Reset();
        return;
    }
    CTime time;
    m_client->ConvertTimestamp(rtpTimestamp, time);
    hostFrame.Describe(uint32_t(m_frame.size()), m_width, m_height, typeCode, time);
    if (!hostFrame.DeliverTo(*m_client))
        Reset();
}

} // namespace talvex

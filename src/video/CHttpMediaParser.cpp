#include "video/CHttpMediaParser.h"

#include "video/CHostFrame.h"
#include "video/FrameTypes.h"

namespace talvex {

namespace {
// An HTTP stream has no media clock; the channel's converter stamps the frame on arrival.
constexpr uint32_t kNoMediaTimestamp = 0;
} // namespace

CHttpMediaParser::CHttpMediaParser(IMediaParserOwner& owner) : m_owner(owner) {}

bool CHttpMediaParser::AppendChecked(std::span<const uint8_t> bytes) {
    if (m_frame.size() + bytes.size() <= kMaxFrameBytes) {
        m_frame.insert(m_frame.end(), bytes.begin(), bytes.end());
        return true;
    }
    if (m_client)
        m_client->GetDeviceName(m_deviceName);
    m_owner.GetLogger().DebugMessage(1, "%s: Frame buffer overflow detected, device %s",
                                     "talvex::CHttpMediaParser::CheckBufferSize", m_deviceName.c_str());
    m_frame.clear();
    return false;
}

void CHttpMediaParser::DeliverFrame(uint32_t typeCode) {
    if (!m_client || m_frame.empty() || m_width == 0 || m_height == 0)
        return;
    m_client->GetDeviceName(m_deviceName);
    CHostFrame hostFrame(m_owner.GetFrameAllocator(), typeCode, uint32_t(m_frame.size()), m_deviceName);
    if (!hostFrame || !hostFrame.CopyData(m_frame))
        return;
    CTime time;
    m_client->ConvertTimestamp(kNoMediaTimestamp, time);
    hostFrame.Describe(uint32_t(m_frame.size()), m_width, m_height, typeCode, time);
    hostFrame.DeliverTo(*m_client);
}

} // namespace talvex

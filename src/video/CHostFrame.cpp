#include "video/CHostFrame.h"

#include "video/FrameTypes.h"

#include <cstring>

namespace talvex {

CHostFrame::CHostFrame(ipcapture::IFrameAllocator* allocator, uint32_t typeCode, uint32_t size,
                       const std::string& name)
    : m_allocator(allocator) {
    if (m_allocator)
        m_frame = m_allocator->AllocVideo(typeCode, size, name.c_str());
}

CHostFrame::~CHostFrame() {
    if (m_frame)
        m_allocator->ReleaseVideo(m_frame);
}

std::span<uint8_t> CHostFrame::GetBuffer() {
    uint8_t* buffer = m_frame->GetBuffer();
    return buffer ? std::span<uint8_t>(buffer, m_frame->GetCapacity()) : std::span<uint8_t>();
}

bool CHostFrame::CopyData(std::span<const uint8_t> bytes) {
    std::span<uint8_t> buffer = GetBuffer();
    if (buffer.size() < bytes.size())
        return false;
    if (!bytes.empty())
        std::memcpy(buffer.data(), bytes.data(), bytes.size());
    return true;
}

void CHostFrame::Describe(uint32_t dataSize, uint16_t width, uint16_t height, uint32_t typeCode, CTime time) {
    m_frame->SetDataSize(dataSize);
    m_frame->SetPictureFormat(width, height, GetSizeClass(width, height));
    m_frame->SetTypeCode(typeCode);
    m_frame->SetTime(time.Value());
}

bool CHostFrame::DeliverTo(IMediaParserClient& client) {
    return client.DeliverFrame(m_frame);
}

} // namespace talvex

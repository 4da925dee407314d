// One host video frame for the time of one delivery attempt: allocated from
// the host's allocator, filled in the host's order (data, size, picture
// format, type, time), handed to the client and always released.
#pragma once

#include "common/CTime.h"
#include "video/IMediaParserClient.h"

#include <talvex/ipcapture/HostObjects.h>

#include <cstdint>
#include <span>
#include <string>

namespace talvex {

class CHostFrame {
public:
    // Null frame when there is no allocator or the host has no frame to give.
    CHostFrame(ipcapture::IFrameAllocator* allocator, uint32_t typeCode, uint32_t size, const std::string& name);
    ~CHostFrame();
    CHostFrame(const CHostFrame&) = delete;
    CHostFrame& operator=(const CHostFrame&) = delete;

    explicit operator bool() const { return m_frame != nullptr; }
    // The frame's whole buffer, for writing data in place.
    std::span<uint8_t> GetBuffer();
    // Copies bytes to the start of the buffer; false when they do not fit.
    bool CopyData(std::span<const uint8_t> bytes);
    // Sets data size, picture format (with its size class), type and time.
    void Describe(uint32_t dataSize, uint16_t width, uint16_t height, uint32_t typeCode, CTime time);
    bool DeliverTo(IMediaParserClient& client);

private:
    ipcapture::IFrameAllocator* m_allocator;
    ipcapture::IVideoFrame* m_frame = nullptr;
};

} // namespace talvex

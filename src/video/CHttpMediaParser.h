// Base of the parsers that cut frames out of an HTTP media stream: owner,
// client, picture size and the frame buffer with its size limit.
#pragma once

#include "video/CFrameBufferTrim.h"
#include "video/IMediaParserClient.h"
#include "video/IMediaParserOwner.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace talvex {

class CHttpMediaParser {
public:
    explicit CHttpMediaParser(IMediaParserOwner& owner);
    virtual ~CHttpMediaParser() = default;
    CHttpMediaParser(const CHttpMediaParser&) = delete;
    CHttpMediaParser& operator=(const CHttpMediaParser&) = delete;

    // Takes the next piece of the stream, however it was split.
    virtual void ProcessData(std::span<const uint8_t> piece) = 0;
    void SetClient(IMediaParserClient* client) { m_client = client; }

protected:
    // Appends to the frame buffer; false (after logging and emptying the
    // buffer) when the frame would outgrow kMaxFrameBytes.
    bool AppendChecked(std::span<const uint8_t> bytes);
    // Hands the frame buffer to the host as one frame of the given type.
    void DeliverFrame(uint32_t typeCode);

    IMediaParserOwner& m_owner;
    IMediaParserClient* m_client = nullptr;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    std::vector<uint8_t> m_frame;
    CFrameBufferTrim m_frameTrim;

private:
    std::string m_deviceName;
};

} // namespace talvex

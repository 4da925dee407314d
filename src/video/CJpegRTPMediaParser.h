// JPEG depacketiser (RFC 2435): fragments are collected with the RTP/JPEG
// headers of the first one, and the finished frame is rebuilt into a JPEG
// file straight in the host frame.
#pragma once

#include "video/CJpegHeaderWriter.h"
#include "video/CRTPMediaParser.h"

#include <array>

namespace talvex {

class CJpegRTPMediaParser : public CRTPMediaParser {
public:
    explicit CJpegRTPMediaParser(IMediaParserOwner& owner);

    void Reset() override;

protected:
    bool AppendPayload(std::span<const uint8_t> payload) override;
    void ProcessFrame(uint32_t rtpTimestamp) override;

private:
    // Adds FF D9 unless the last marker of the frame already is EOI.
    void AppendEndOfImage();
    // Writes the JPEG file into out; returns its size, 0 when the headers are
    // malformed or it does not fit. Sets m_width and m_height.
    size_t RebuildJpeg(std::span<uint8_t> out);
    // Picture size from the header value (in 8-pixel blocks) and the configured size.
    static uint16_t ChooseDimension(uint8_t headerBlocks, uint16_t configured);
    // Tables of a quantization table header, or those computed from Q; false when unusable.
    bool SelectQuantizationTables(uint8_t q, std::span<const uint8_t>& headers, CJpegHeaderWriter::Picture& picture);

    bool m_waitingForFirstFragment = true;
    size_t m_payloadHeaderLength = 8;
    // Tables computed for m_computedQ, kept between frames.
    std::array<uint8_t, 2 * CJpegHeaderWriter::kTableBytes8Bit> m_computedTables{};
    int m_computedQ = -1;
    // RFC 2435 3.1.8: tables for a static Q (128..254) may be sent once and
    // then left out (length 0); the last ones received are kept for that Q.
    std::array<uint8_t, 2 * CJpegHeaderWriter::kTableBytes16Bit> m_staticTables{};
    std::array<size_t, 2> m_staticTableSizes{};
    int m_staticQ = -1;
};

} // namespace talvex

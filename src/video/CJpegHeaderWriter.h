// Writes the JPEG interchange headers that RFC 2435 leaves out of RTP/JPEG:
// quantization tables (given, or computed from Q as RFC 2435 Appendix A),
// baseline frame header, the standard Huffman tables of JPEG Annex K.3 and
// the scan header, laid out as RFC 2435 Appendix B does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace talvex {

class CJpegHeaderWriter {
public:
    static constexpr size_t kTableBytes8Bit = 64;
    static constexpr size_t kTableBytes16Bit = 128;

    struct Picture {
        // RTP/JPEG type: bit 0 selects 4:2:0 (2x2 luma sampling) over 4:2:2 (2x1).
        uint8_t type = 0;
        uint16_t width = 0;
        uint16_t height = 0;
        // 0: no DRI segment.
        uint16_t restartInterval = 0;
        // Luminance then chrominance table, in zigzag order; 64 bytes, or 128 for 16-bit precision.
        std::array<std::span<const uint8_t>, 2> quantizationTables;
    };

    // Luminance (first 64 bytes) and chrominance table for quality factor q
    // (1..99 as RFC 2435 Appendix A; other values are clamped there).
    static std::array<uint8_t, 2 * kTableBytes8Bit> MakeQuantizationTables(uint8_t q);

    static size_t GetHeaderSize(const Picture& picture);
    // Writes SOI up to and including SOS; returns the bytes written, 0 when out is too small.
    static size_t WriteHeaders(const Picture& picture, std::span<uint8_t> out);
};

} // namespace talvex

#include "video/CJpegHeaderWriter.h"

#include <algorithm>

namespace talvex {

namespace {

// JPEG Annex K.1 and K.2, natural (row by row) order.
constexpr uint8_t kLuminanceQuantizer[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr uint8_t kChrominanceQuantizer[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Natural index of each zigzag position: DQT segments list tables in zigzag order.
constexpr uint8_t kZigzagToNatural[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// JPEG Annex K.3: code counts per length (16 bytes) and symbols.
constexpr uint8_t kLuminanceDcCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kLuminanceDcSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kChrominanceDcCounts[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kChrominanceDcSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kLuminanceAcCounts[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t kLuminanceAcSymbols[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr uint8_t kChrominanceAcCounts[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kChrominanceAcSymbols[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
    0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
    0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

struct HuffmanTable {
    uint8_t classAndId; // table class (0 DC, 1 AC) << 4 | destination
    std::span<const uint8_t> counts;
    std::span<const uint8_t> symbols;
};
constexpr HuffmanTable kHuffmanTables[] = {
    {0x00, kLuminanceDcCounts, kLuminanceDcSymbols},
    {0x10, kLuminanceAcCounts, kLuminanceAcSymbols},
    {0x01, kChrominanceDcCounts, kChrominanceDcSymbols},
    {0x11, kChrominanceAcCounts, kChrominanceAcSymbols},
};

constexpr size_t kMarkerAndLength = 4;
constexpr size_t kStartOfImageBytes = 2;
constexpr size_t kRestartIntervalBytes = 6;
constexpr size_t kFrameHeaderBytes = kMarkerAndLength + 15;  // SOF0 with three components
constexpr size_t kScanHeaderBytes = kMarkerAndLength + 10;   // SOS with three components

// Sequential writer over a span whose size was checked beforehand.
class CSegmentWriter {
public:
    explicit CSegmentWriter(std::span<uint8_t> out) : m_out(out) {}
    void Byte(uint8_t value) { m_out[m_position++] = value; }
    void Word(uint16_t value) {
        Byte(uint8_t(value >> 8));
        Byte(uint8_t(value));
    }
    void Bytes(std::span<const uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), m_out.begin() + ptrdiff_t(m_position));
        m_position += bytes.size();
    }
    // Marker and the segment length, which counts itself but not the marker.
    void Segment(uint8_t marker, size_t contentBytes) {
        Byte(0xFF);
        Byte(marker);
        Word(uint16_t(contentBytes + 2));
    }
    size_t Position() const { return m_position; }

private:
    std::span<uint8_t> m_out;
    size_t m_position = 0;
};

uint8_t ScaleQuantizer(uint8_t base, int scale) {
    int value = (int(base) * scale + 50) / 100;
    return uint8_t(std::clamp(value, 1, 255));
}

size_t HuffmanTableBytes(const HuffmanTable& table) {
    return kMarkerAndLength + 1 + table.counts.size() + table.symbols.size();
}

} // namespace

std::array<uint8_t, 2 * CJpegHeaderWriter::kTableBytes8Bit> CJpegHeaderWriter::MakeQuantizationTables(uint8_t q) {
    int factor = std::clamp(int(q), 1, 99);
    int scale = q < 50 ? 5000 / factor : 200 - factor * 2;
    std::array<uint8_t, 2 * kTableBytes8Bit> tables{};
    for (size_t i = 0; i < kTableBytes8Bit; ++i) {
        tables[i] = ScaleQuantizer(kLuminanceQuantizer[kZigzagToNatural[i]], scale);
        tables[kTableBytes8Bit + i] = ScaleQuantizer(kChrominanceQuantizer[kZigzagToNatural[i]], scale);
    }
    return tables;
}

size_t CJpegHeaderWriter::GetHeaderSize(const Picture& picture) {
    size_t size = kStartOfImageBytes + kFrameHeaderBytes + kScanHeaderBytes;
    for (const auto& table : picture.quantizationTables)
        size += kMarkerAndLength + 1 + table.size();
    for (const auto& table : kHuffmanTables)
        size += HuffmanTableBytes(table);
    if (picture.restartInterval != 0)
        size += kRestartIntervalBytes;
    return size;
}

size_t CJpegHeaderWriter::WriteHeaders(const Picture& picture, std::span<uint8_t> out) {
    size_t size = GetHeaderSize(picture);
    if (out.size() < size)
        return 0;
    CSegmentWriter writer(out);
    writer.Byte(0xFF);
    writer.Byte(0xD8); // SOI
    for (uint8_t id = 0; id < 2; ++id) {
        std::span<const uint8_t> table = picture.quantizationTables[id];
        uint8_t precision = table.size() == kTableBytes16Bit ? 1 : 0;
        writer.Segment(0xDB, 1 + table.size()); // DQT
        writer.Byte(uint8_t(precision << 4 | id));
        writer.Bytes(table);
    }
    if (picture.restartInterval != 0) {
        writer.Segment(0xDD, 2); // DRI
        writer.Word(picture.restartInterval);
    }
    writer.Segment(0xC0, kFrameHeaderBytes - kMarkerAndLength); // SOF0
    writer.Byte(8);                                             // sample precision
    writer.Word(picture.height);
    writer.Word(picture.width);
    writer.Byte(3);                                             // components: id, sampling, table
    writer.Byte(0);
    writer.Byte(picture.type & 1 ? 0x22 : 0x21);
    writer.Byte(0);
    writer.Byte(1);
    writer.Byte(0x11);
    writer.Byte(1);
    writer.Byte(2);
    writer.Byte(0x11);
    writer.Byte(1);
    for (const auto& table : kHuffmanTables) {
        writer.Segment(0xC4, HuffmanTableBytes(table) - kMarkerAndLength); // DHT
        writer.Byte(table.classAndId);
        writer.Bytes(table.counts);
        writer.Bytes(table.symbols);
    }
    writer.Segment(0xDA, kScanHeaderBytes - kMarkerAndLength); // SOS
    writer.Byte(3);                                            // components: id, DC/AC tables
    writer.Byte(0);
    writer.Byte(0x00);
    writer.Byte(1);
    writer.Byte(0x11);
    writer.Byte(2);
    writer.Byte(0x11);
    writer.Byte(0);  // first DCT coefficient
    writer.Byte(63); // last DCT coefficient
    writer.Byte(0);  // successive approximation
    return writer.Position();
}

} // namespace talvex

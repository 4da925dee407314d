#include "video/CBitReader.h"

namespace talvex {

CBitReader::CBitReader(std::span<const uint8_t> bytes, bool skipEmulationPrevention)
    : m_bytes(bytes), m_skipEmulationPrevention(skipEmulationPrevention) {}

bool CBitReader::NextByte() {
    if (m_byteIndex >= m_bytes.size()) {
        m_failed = true;
        return false;
    }
    uint8_t byte = m_bytes[m_byteIndex++];
    if (m_skipEmulationPrevention && m_zeroRun >= 2 && byte == 0x03) {
        m_zeroRun = 0;
        return NextByte();
    }
    m_zeroRun = byte == 0 ? m_zeroRun + 1 : 0;
    m_current = byte;
    m_bitIndex = 0;
    return true;
}

bool CBitReader::ReadBit() {
    if (m_failed)
        return false;
    if (m_bitIndex == 8 && !NextByte())
        return false;
    return (m_current >> (7 - m_bitIndex++)) & 1;
}

uint32_t CBitReader::ReadBits(unsigned count) {
    uint32_t value = 0;
    for (unsigned i = 0; i < count && i < 32; ++i)
        value = (value << 1) | uint32_t(ReadBit());
    return value;
}

void CBitReader::SkipBits(unsigned count) {
    for (unsigned i = 0; i < count && !m_failed; ++i)
        ReadBit();
}

uint32_t CBitReader::ReadUnsignedExpGolomb() {
    unsigned leadingZeros = 0;
    while (!m_failed && !ReadBit()) {
        if (++leadingZeros > 31) {
            m_failed = true;
            return 0;
        }
    }
    if (m_failed)
        return 0;
    return uint32_t((uint64_t(1) << leadingZeros) - 1 + ReadBits(leadingZeros));
}

int32_t CBitReader::ReadSignedExpGolomb() {
    uint32_t code = ReadUnsignedExpGolomb();
    int64_t magnitude = (int64_t(code) + 1) / 2;
    return int32_t(code & 1 ? magnitude : -magnitude);
}

} // namespace talvex

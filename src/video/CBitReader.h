// Bounds-checked reader of big-endian bit fields (most significant bit first),
// with the Exp-Golomb codes of H.264. Reading past the end yields zeros and
// marks the reader as failed, so a parser checks Failed() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace talvex {

class CBitReader {
public:
    // skipEmulationPrevention: drop the 0x03 byte of every 00 00 03 sequence
    // (H.264 NAL unit payloads, ITU-T H.264 7.4.1).
    explicit CBitReader(std::span<const uint8_t> bytes, bool skipEmulationPrevention = false);

    // Up to 32 bits.
    uint32_t ReadBits(unsigned count);
    bool ReadFlag() { return ReadBits(1) != 0; }
    void SkipBits(unsigned count);
    // ue(v) and se(v), ITU-T H.264 9.1; codes longer than 32 bits fail.
    uint32_t ReadUnsignedExpGolomb();
    int32_t ReadSignedExpGolomb();
    bool Failed() const { return m_failed; }

private:
    bool ReadBit();
    bool NextByte();

    std::span<const uint8_t> m_bytes;
    bool m_skipEmulationPrevention;
    size_t m_byteIndex = 0;      // index of the byte being read
    unsigned m_bitIndex = 8;     // bits of the current byte already read
    uint8_t m_current = 0;
    unsigned m_zeroRun = 0;      // zero bytes just before the current one
    bool m_failed = false;
};

} // namespace talvex

#include "streaming/CRTPPacket.h"

#include <cstring>

namespace talvex {

namespace {

constexpr size_t FIXED_HEADER_BYTES = 12;
constexpr size_t CSRC_BYTES = 4;
constexpr size_t EXTENSION_HEADER_BYTES = 4;
constexpr size_t EXTENSION_WORD_BYTES = 4;
constexpr uint8_t RTP_VERSION = 2;

uint16_t ReadBigEndian16(std::span<const uint8_t> bytes, size_t offset) {
    return uint16_t((bytes[offset] << 8) | bytes[offset + 1]);
}

uint32_t ReadBigEndian32(std::span<const uint8_t> bytes, size_t offset) {
    return (uint32_t(bytes[offset]) << 24) | (uint32_t(bytes[offset + 1]) << 16) |
           (uint32_t(bytes[offset + 2]) << 8) | uint32_t(bytes[offset + 3]);
}

// The SSRC keeps the byte order of the wire: the four bytes are copied as they stand.
uint32_t ReadUnconverted32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

std::vector<uint8_t> CopyBytes(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    auto first = bytes.begin() + std::ptrdiff_t(offset);
    return std::vector<uint8_t>(first, first + std::ptrdiff_t(count));
}

} // namespace

void CRTPPacket::Clear() {
    *this = CRTPPacket();
}

bool CRTPPacket::Parse(std::span<const uint8_t> datagram) {
    Clear();
    if (datagram.size() <= FIXED_HEADER_BYTES)
        return false;
    const uint8_t first = datagram[0];
    if ((first >> 6) != RTP_VERSION)
        return false;
    const bool hasPadding = (first & 0x20) != 0;
    const bool hasExtension = (first & 0x10) != 0;
    const uint16_t csrcCount = first & 0x0F;

    size_t headerBytes = FIXED_HEADER_BYTES;
    // A CSRC list must leave at least one byte after it.
    if (csrcCount > 0 && csrcCount * CSRC_BYTES >= datagram.size() - headerBytes)
        return false;
    const size_t csrcOffset = headerBytes;
    headerBytes += csrcCount * CSRC_BYTES;

    uint16_t extensionProfile = 0;
    uint16_t extensionLength = 0;
    size_t extensionOffset = 0;
    if (hasExtension) {
        if (datagram.size() - headerBytes < EXTENSION_HEADER_BYTES)
            return false;
        extensionProfile = ReadBigEndian16(datagram, headerBytes);
        extensionLength = ReadBigEndian16(datagram, headerBytes + 2);
        const size_t extensionBytes = EXTENSION_HEADER_BYTES + extensionLength * EXTENSION_WORD_BYTES;
        if (datagram.size() - headerBytes < extensionBytes)
            return false;
        extensionOffset = headerBytes + EXTENSION_HEADER_BYTES;
        headerBytes += extensionBytes;
    }

    // RFC 3550 5.1: with P set the last octet counts the padding octets (itself included).
    size_t paddingBytes = 0;
    if (hasPadding) {
        paddingBytes = datagram.back();
        if (paddingBytes + headerBytes > datagram.size())
            return false;
    }

    m_csrcCount = csrcCount;
    m_csrcList = CopyBytes(datagram, csrcOffset, csrcCount * CSRC_BYTES);
    m_ssrc = ReadUnconverted32(datagram, 8);
    m_marker = datagram[1] >> 7;
    m_padding = hasPadding ? 1 : 0;
    m_payloadType = datagram[1] & 0x7F;
    m_sequenceNumber = ReadBigEndian16(datagram, 2);
    m_timestamp = ReadBigEndian32(datagram, 4);
    m_extensionProfile = extensionProfile;
    m_extensionLength = extensionLength;
    m_extensionData = CopyBytes(datagram, extensionOffset, extensionLength * EXTENSION_WORD_BYTES);
    m_payload = CopyBytes(datagram, headerBytes, datagram.size() - headerBytes - paddingBytes);
    return true;
}

} // namespace talvex

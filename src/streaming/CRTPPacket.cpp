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

// Reuses the target's storage: a packet parsed again allocates nothing once it has held a larger one.
void CopyBytes(std::vector<uint8_t>& target, std::span<const uint8_t> bytes, size_t offset, size_t count) {
    auto first = bytes.begin() + std::ptrdiff_t(offset);
    target.assign(first, first + std::ptrdiff_t(count));
}

} // namespace

void CRTPPacket::Clear() {
    // The byte vectors keep their storage for the next Parse.
    m_csrcCount = 0;
    m_csrcList.clear();
    m_ssrc = 0;
    m_marker = 0;
    m_padding = 0;
    m_payloadType = 0;
    m_sequenceNumber = 0;
    m_timestamp = 0;
    m_extensionProfile = 0;
    m_extensionLength = 0;
    m_extensionData.clear();
    m_payload.clear();
    m_arrivalNs = 0;
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
    CopyBytes(m_csrcList, datagram, csrcOffset, csrcCount * CSRC_BYTES);
    m_ssrc = ReadUnconverted32(datagram, 8);
    m_marker = datagram[1] >> 7;
    m_padding = hasPadding ? 1 : 0;
    m_payloadType = datagram[1] & 0x7F;
    m_sequenceNumber = ReadBigEndian16(datagram, 2);
    m_timestamp = ReadBigEndian32(datagram, 4);
    m_extensionProfile = extensionProfile;
    m_extensionLength = extensionLength;
    CopyBytes(m_extensionData, datagram, extensionOffset, extensionLength * EXTENSION_WORD_BYTES);
    CopyBytes(m_payload, datagram, headerBytes, datagram.size() - headerBytes - paddingBytes);
    return true;
}

} // namespace talvex

// One parsed RTP packet (RFC 3550 section 5.1): fixed header, CSRC list,
// header extension, padding removed. The packet owns copies of its bytes.
//
//   0                   1                   2                   3
//   0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//  |V=2|P|X|  CC   |M|     PT      |       sequence number         |
//  |                           timestamp                           |
//  |           synchronization source (SSRC) identifier            |
//  |            contributing source (CSRC) identifiers             |
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace talvex {

class CRTPPacket {
public:
    // Parses one datagram; false (and an empty packet) when it is not a valid RTP packet.
    bool Parse(std::span<const uint8_t> datagram);
    void Clear();

    uint16_t GetCsrcCount() const { return m_csrcCount; }
    std::span<const uint8_t> GetCsrcList() const { return m_csrcList; }
    // The four SSRC bytes as they stand in the header (not converted from network order).
    uint32_t GetSsrc() const { return m_ssrc; }
    uint8_t GetMarker() const { return m_marker; }
    uint8_t GetPadding() const { return m_padding; }
    uint8_t GetPayloadType() const { return m_payloadType; }
    uint16_t GetSequenceNumber() const { return m_sequenceNumber; }
    uint32_t GetTimestamp() const { return m_timestamp; }
    uint16_t GetExtensionProfile() const { return m_extensionProfile; }
    uint16_t GetExtensionLength() const { return m_extensionLength; }
    std::span<const uint8_t> GetExtensionData() const { return m_extensionData; }
    uint32_t GetPayloadSize() const { return uint32_t(m_payload.size()); }
    std::span<const uint8_t> GetPayload() const { return m_payload; }
    // When the packet was read (LatencyProbe time; 0 outside the benchmark's builds).
    void SetArrivalNs(uint64_t arrivalNs) { m_arrivalNs = arrivalNs; }
    uint64_t GetArrivalNs() const { return m_arrivalNs; }

private:
    uint16_t m_csrcCount = 0;
    std::vector<uint8_t> m_csrcList;
    uint32_t m_ssrc = 0;
    uint8_t m_marker = 0;
    uint8_t m_padding = 0;
    uint8_t m_payloadType = 0;
    uint16_t m_sequenceNumber = 0;
    uint32_t m_timestamp = 0;
    uint16_t m_extensionProfile = 0;
    uint16_t m_extensionLength = 0;
    std::vector<uint8_t> m_extensionData;
    std::vector<uint8_t> m_payload;
    uint64_t m_arrivalNs = 0;
};

} // namespace talvex

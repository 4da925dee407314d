// Test data helpers: files under tests/data/video/ and RTP packets built from
// their fields or read from RFC 4571 framed packet sequences.
#pragma once

#include "streaming/CRTPPacket.h"

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace talvex::test {

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline std::vector<uint8_t> ReadVideoFile(const std::string& name) {
    std::ifstream file(std::string(FENNWICK_TEST_DATA_DIR) + "/video/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// One datagram: version 2, no padding, extension or CSRC, payload type 96.
inline std::vector<uint8_t> MakeRtpDatagram(uint16_t sequence, uint32_t timestamp, bool marker,
                                            std::span<const uint8_t> payload) {
    std::vector<uint8_t> datagram = {0x80,
                                     uint8_t((marker ? 0x80 : 0x00) | 96),
                                     uint8_t(sequence >> 8),
                                     uint8_t(sequence),
                                     uint8_t(timestamp >> 24),
                                     uint8_t(timestamp >> 16),
                                     uint8_t(timestamp >> 8),
                                     uint8_t(timestamp),
                                     0x11,
                                     0x22,
                                     0x33,
                                     0x44};
    datagram.insert(datagram.end(), payload.begin(), payload.end());
    return datagram;
}

inline CRTPPacket MakeRtpPacket(uint16_t sequence, uint32_t timestamp, bool marker,
                                std::span<const uint8_t> payload) {
    CRTPPacket packet;
    packet.Parse(MakeRtpDatagram(sequence, timestamp, marker, payload));
    return packet;
}

// Packets of a file of 16-bit big-endian lengths, each followed by one RTP packet.
inline std::vector<CRTPPacket> ReadRtpSequence(const std::string& name) {
    std::vector<uint8_t> bytes = ReadVideoFile(name);
    std::vector<CRTPPacket> packets;
    size_t offset = 0;
    while (offset + 2 <= bytes.size()) {
        size_t length = (size_t(bytes[offset]) << 8) | bytes[offset + 1];
        offset += 2;
        if (length > bytes.size() - offset)
            break;
        CRTPPacket packet;
        if (packet.Parse(std::span<const uint8_t>(bytes).subspan(offset, length)))
            packets.push_back(std::move(packet));
        offset += length;
    }
    return packets;
}

} // namespace talvex::test

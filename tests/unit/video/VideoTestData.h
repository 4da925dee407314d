// Test data helpers: files under tests/data/video/, the units of an elementary
// stream, and RTP packets built from their fields or read from RFC 4571 framed
// packet sequences.
#pragma once

#include "streaming/CRTPPacket.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace talvex::test {

using Bytes = std::vector<uint8_t>;

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

// The units of a stream with 00 00 01 start codes (H.264 Annex B or MPEG-4),
// start codes and the zero byte of a following 4-byte start code removed.
inline std::vector<std::vector<uint8_t>> SplitAtStartCodes(const std::vector<uint8_t>& stream) {
    std::vector<std::vector<uint8_t>> units;
    auto isStart = [&](size_t at) { return at + 3 <= stream.size() && stream[at] == 0 && stream[at + 1] == 0 && stream[at + 2] == 1; };
    size_t i = 0;
    while (i < stream.size() && !isStart(i))
        ++i;
    while (i < stream.size()) {
        size_t end = i + 3;
        while (end < stream.size() && !isStart(end))
            ++end;
        size_t last = end;
        while (end < stream.size() && last > i + 3 && stream[last - 1] == 0)
            --last;
        units.emplace_back(stream.begin() + ptrdiff_t(i + 3), stream.begin() + ptrdiff_t(last));
        i = end;
    }
    return units;
}

// The units whose first byte, masked, is one of the types (H.264: mask 0x1F).
inline std::vector<std::vector<uint8_t>> UnitsOfType(const std::vector<std::vector<uint8_t>>& units, uint8_t mask,
                                                     std::initializer_list<uint8_t> types) {
    std::vector<std::vector<uint8_t>> selected;
    for (const auto& unit : units)
        if (!unit.empty() && std::find(types.begin(), types.end(), uint8_t(unit[0] & mask)) != types.end())
            selected.push_back(unit);
    return selected;
}

// One packet: version 2, no padding, extension or CSRC, payload type 96.
inline CRTPPacket MakeRtpPacket(uint16_t sequence, uint32_t timestamp, bool marker,
                                std::span<const uint8_t> payload) {
    std::vector<uint8_t> datagram = {0x80, uint8_t((marker ? 0x80 : 0x00) | 96), uint8_t(sequence >> 8),
                                     uint8_t(sequence)};
    for (int shift = 24; shift >= 0; shift -= 8)
        datagram.push_back(uint8_t(timestamp >> shift));
    datagram.insert(datagram.end(), {0x11, 0x22, 0x33, 0x44}); // SSRC
    datagram.insert(datagram.end(), payload.begin(), payload.end());
    CRTPPacket packet;
    packet.Parse(datagram);
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

#include "RtpPacketisers.h"

#include <algorithm>

namespace camsim {

namespace {

constexpr uint8_t NAL_SPS = 7;
constexpr uint8_t NAL_PPS = 8;
constexpr uint8_t NAL_STAP_A = 24;
constexpr uint8_t NAL_FU_A = 28;
constexpr uint8_t JPEG_Q_WITH_TABLES = 255;
constexpr size_t JPEG_MAX_DIMENSION = 2040;

void PutBigEndian16(Bytes& out, uint32_t value) {
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void PutBigEndian32(Bytes& out, uint32_t value) {
    PutBigEndian16(out, value >> 16);
    PutBigEndian16(out, value & 0xFFFF);
}

void Append(Bytes& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// RFC 6184 5.8: FU indicator (F, NRI, type 28), FU header (S, E, type).
void AppendFragmented(std::vector<RtpPayload>& packets, const Bytes& nal, size_t maxPayload) {
    const size_t chunk = maxPayload - 2;
    for (size_t offset = 1; offset < nal.size(); offset += chunk) {
        const size_t size = std::min(chunk, nal.size() - offset);
        const bool first = offset == 1;
        const bool last = offset + size == nal.size();
        RtpPayload packet;
        packet.bytes.push_back(uint8_t((nal[0] & 0xE0) | NAL_FU_A));
        packet.bytes.push_back(uint8_t((first ? 0x80 : 0) | (last ? 0x40 : 0) | (nal[0] & 0x1F)));
        Append(packet.bytes, std::span(nal).subspan(offset, size));
        packets.push_back(std::move(packet));
    }
}

struct JpegPicture {
    uint8_t type = 0; // RFC 2435: 0 for 4:2:2, 1 for 4:2:0 sampling
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t restartInterval = 0;
    std::vector<Bytes> tables; // 64-byte 8-bit tables by id
    uint8_t lumaTable = 0;     // table ids of the first and second component
    uint8_t chromaTable = 1;
    std::span<const uint8_t> scan;
};

uint16_t ReadBigEndian16(std::span<const uint8_t> bytes, size_t offset) {
    return uint16_t((bytes[offset] << 8) | bytes[offset + 1]);
}

bool ReadQuantisationTables(std::span<const uint8_t> segment, JpegPicture& picture) {
    for (size_t offset = 0; offset < segment.size();) {
        const uint8_t precisionAndId = segment[offset];
        if ((precisionAndId >> 4) != 0 || offset + 65 > segment.size())
            return false; // 16-bit tables cannot travel in RFC 2435
        const size_t id = precisionAndId & 0x0F;
        if (picture.tables.size() <= id)
            picture.tables.resize(id + 1);
        picture.tables[id].assign(segment.begin() + std::ptrdiff_t(offset + 1),
                                  segment.begin() + std::ptrdiff_t(offset + 65));
        offset += 65;
    }
    return true;
}

bool ReadFrameHeader(std::span<const uint8_t> segment, JpegPicture& picture) {
    if (segment.size() < 15 || segment[5] != 3)
        return false;
    picture.height = ReadBigEndian16(segment, 1);
    picture.width = ReadBigEndian16(segment, 3);
    const uint8_t lumaSampling = segment[7];
    picture.lumaTable = segment[8];
    picture.chromaTable = segment[11];
    if (lumaSampling == 0x21)
        picture.type = 0;
    else if (lumaSampling == 0x22)
        picture.type = 1;
    else
        return false;
    return picture.width > 0 && picture.height > 0 && picture.width <= JPEG_MAX_DIMENSION &&
           picture.height <= JPEG_MAX_DIMENSION && picture.width % 8 == 0 && picture.height % 8 == 0;
}

std::optional<JpegPicture> ReadJpeg(std::span<const uint8_t> file) {
    JpegPicture picture;
    bool haveFrame = false;
    size_t position = 2;
    while (position + 4 <= file.size()) {
        if (file[position] != 0xFF)
            return std::nullopt;
        const uint8_t marker = file[position + 1];
        const size_t length = ReadBigEndian16(file, position + 2);
        if (length < 2 || position + 2 + length > file.size())
            return std::nullopt;
        const std::span<const uint8_t> segment = file.subspan(position + 4, length - 2);
        if (marker == 0xDB && !ReadQuantisationTables(segment, picture))
            return std::nullopt;
        if (marker == 0xC0) {
            if (!ReadFrameHeader(segment, picture))
                return std::nullopt;
            haveFrame = true;
        }
        if ((marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC))
            return std::nullopt; // only baseline pictures
        if (marker == 0xDD && segment.size() >= 2)
            picture.restartInterval = ReadBigEndian16(segment, 0);
        position += 2 + length;
        if (marker == 0xDA) {
            size_t end = file.size();
            if (end >= 2 && file[end - 2] == 0xFF && file[end - 1] == 0xD9)
                end -= 2;
            picture.scan = file.subspan(position, end - position);
            break;
        }
    }
    const auto usable = [&](uint8_t id) { return id < picture.tables.size() && !picture.tables[id].empty(); };
    if (!haveFrame || picture.scan.empty() || !usable(picture.lumaTable) || !usable(picture.chromaTable))
        return std::nullopt;
    return picture;
}

} // namespace

std::vector<RtpPayload> PacketiseH264(const ClipFrame& frame, size_t maxPayload) {
    std::vector<RtpPayload> packets;
    // Parameter sets travel together in one STAP-A (RFC 6184 5.7.1).
    RtpPayload aggregate;
    aggregate.bytes.push_back(NAL_STAP_A);
    for (const Bytes& nal : frame.units) {
        const uint8_t type = nal[0] & 0x1F;
        if (type == NAL_SPS || type == NAL_PPS) {
            aggregate.bytes[0] = uint8_t(std::max<int>(aggregate.bytes[0] & 0x60, nal[0] & 0x60) | NAL_STAP_A);
            PutBigEndian16(aggregate.bytes, uint32_t(nal.size()));
            Append(aggregate.bytes, nal);
        }
    }
    if (aggregate.bytes.size() > 1)
        packets.push_back(std::move(aggregate));
    for (const Bytes& nal : frame.units) {
        const uint8_t type = nal[0] & 0x1F;
        if (type == NAL_SPS || type == NAL_PPS)
            continue;
        if (nal.size() <= maxPayload)
            packets.push_back({nal, false});
        else
            AppendFragmented(packets, nal, maxPayload);
    }
    if (!packets.empty())
        packets.back().marker = true;
    return packets;
}

std::vector<RtpPayload> PacketiseMpeg4(const ClipFrame& frame, const Bytes& configuration, size_t maxPayload) {
    Bytes stream;
    if (frame.key)
        stream = configuration;
    for (const Bytes& unit : frame.units)
        Append(stream, unit);
    std::vector<RtpPayload> packets;
    for (size_t offset = 0; offset < stream.size(); offset += maxPayload) {
        const size_t size = std::min(maxPayload, stream.size() - offset);
        packets.push_back({Bytes(stream.begin() + std::ptrdiff_t(offset),
                                 stream.begin() + std::ptrdiff_t(offset + size)),
                           false});
    }
    if (!packets.empty())
        packets.back().marker = true;
    return packets;
}

std::vector<RtpPayload> PacketiseJpeg(std::span<const uint8_t> file, size_t maxPayload) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8)
        return {};
    const std::optional<JpegPicture> picture = ReadJpeg(file);
    if (!picture)
        return {};
    std::vector<RtpPayload> packets;
    const uint8_t type = uint8_t(picture->type + (picture->restartInterval ? 64 : 0));
    for (size_t offset = 0; offset < picture->scan.size();) {
        RtpPayload packet;
        Bytes& out = packet.bytes;
        // Main header (RFC 2435 3.1): type-specific, fragment offset, type, Q, width/8, height/8.
        out.push_back(0);
        out.push_back(uint8_t(offset >> 16));
        PutBigEndian16(out, uint32_t(offset & 0xFFFF));
        out.push_back(type);
        out.push_back(JPEG_Q_WITH_TABLES);
        out.push_back(uint8_t(picture->width / 8));
        out.push_back(uint8_t(picture->height / 8));
        if (picture->restartInterval) {
            PutBigEndian16(out, picture->restartInterval);
            PutBigEndian16(out, 0xFFFF); // F = L = 1, restart count 0x3FFF
        }
        if (offset == 0) {
            // Quantization table header (3.1.8): MBZ, precision 0, length, then the tables.
            out.push_back(0);
            out.push_back(0);
            PutBigEndian16(out, 128);
            Append(out, picture->tables[picture->lumaTable]);
            Append(out, picture->tables[picture->chromaTable]);
        }
        const size_t room = maxPayload > out.size() ? maxPayload - out.size() : 1;
        const size_t size = std::min(room, picture->scan.size() - offset);
        Append(out, picture->scan.subspan(offset, size));
        offset += size;
        packets.push_back(std::move(packet));
    }
    packets.back().marker = true;
    return packets;
}

Bytes BuildRtpPacket(const RtpHeader& header, std::span<const uint8_t> payload) {
    Bytes packet;
    packet.reserve(12 + payload.size());
    packet.push_back(0x80);
    packet.push_back(uint8_t((header.marker ? 0x80 : 0) | (header.payloadType & 0x7F)));
    PutBigEndian16(packet, header.sequence);
    PutBigEndian32(packet, header.timestamp);
    PutBigEndian32(packet, header.ssrc);
    Append(packet, payload);
    return packet;
}

Bytes BuildSenderReport(uint32_t ssrc, uint64_t ntpTime, uint32_t rtpTimestamp, uint32_t packets, uint32_t octets) {
    Bytes report{0x80, 200, 0x00, 0x06};
    PutBigEndian32(report, ssrc);
    PutBigEndian32(report, uint32_t(ntpTime >> 32));
    PutBigEndian32(report, uint32_t(ntpTime));
    PutBigEndian32(report, rtpTimestamp);
    PutBigEndian32(report, packets);
    PutBigEndian32(report, octets);
    return report;
}

Bytes BuildRtcpBye(uint32_t ssrc) {
    Bytes bye{0x81, 203, 0x00, 0x01};
    PutBigEndian32(bye, ssrc);
    return bye;
}

} // namespace camsim

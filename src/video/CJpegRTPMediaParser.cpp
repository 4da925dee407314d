#include "video/CJpegRTPMediaParser.h"

#include "video/CHostFrame.h"
#include "video/FrameTypes.h"

#include <algorithm>
#include <cstring>

namespace talvex {

namespace {

//  RTP/JPEG main header (RFC 2435 3.1):
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//  | Type-specific |              Fragment Offset                  |
//  |      Type     |       Q       |     Width     |     Height    |
//  +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
constexpr size_t kMainHeaderBytes = 8;
//  Restart marker header (types 64..127): restart interval, F, L, restart count.
constexpr size_t kRestartHeaderBytes = 4;
//  Quantization table header (Q 128..255): MBZ, precision, 16-bit length, tables.
constexpr size_t kQuantizationHeaderBytes = 4;
constexpr size_t kMinimumPayload = 4;
// A first fragment shorter than this keeps the header length of the previous one.
constexpr size_t kMinimumFirstFragment = 12;
constexpr uint8_t kFirstRestartType = 64;
constexpr uint8_t kLastRestartType = 127;
constexpr uint8_t kFirstTableQ = 128;
constexpr uint8_t kDynamicTableQ = 255;
// Room the host frame gets beyond the assembled frame for the rebuilt headers.
constexpr uint32_t kHeaderReserve = 1024;
// Header values are 8-pixel blocks; 0 stands for 2048 pixels.
constexpr uint16_t kBlockSize = 8;
constexpr uint16_t kZeroBlocksPixels = 2048;

constexpr bool HasRestartHeader(uint8_t type) { return type >= kFirstRestartType && type <= kLastRestartType; }
// Types 0 and 1 (64 and 65 with restart markers) are the ones RFC 2435 defines.
constexpr bool IsKnownType(uint8_t type) { return (type & ~uint8_t(0x41)) == 0; }

uint32_t ReadFragmentOffset(std::span<const uint8_t> payload) {
    return (uint32_t(payload[1]) << 16) | (uint32_t(payload[2]) << 8) | payload[3];
}

} // namespace

CJpegRTPMediaParser::CJpegRTPMediaParser(IMediaParserOwner& owner) : CRTPMediaParser(owner) {}

void CJpegRTPMediaParser::Reset() {
    CRTPMediaParser::Reset();
    m_waitingForFirstFragment = true;
}

bool CJpegRTPMediaParser::AppendPayload(std::span<const uint8_t> payload) {
    if (payload.size() < kMinimumPayload)
        return false;
    if (ReadFragmentOffset(payload) == 0) {
        if (payload.size() >= kMinimumFirstFragment)
            m_payloadHeaderLength = HasRestartHeader(payload[4]) ? kMainHeaderBytes + kRestartHeaderBytes
                                                                  : kMainHeaderBytes;
        // A first fragment starts a new picture, whatever came before it.
        m_frame.clear();
        Append(payload);
        m_waitingForFirstFragment = false;
        return true;
    }
    if (m_waitingForFirstFragment)
        return true;
    if (payload.size() < m_payloadHeaderLength)
        return false;
    Append(payload.subspan(m_payloadHeaderLength));
    return true;
}

void CJpegRTPMediaParser::AppendEndOfImage() {
    auto lastMarker = std::find(m_frame.rbegin(), m_frame.rend(), uint8_t(0xFF));
    bool endsWithEoi = lastMarker != m_frame.rend() && lastMarker != m_frame.rbegin() && *(lastMarker - 1) == 0xD9;
    if (!endsWithEoi) {
        m_frame.push_back(0xFF);
        m_frame.push_back(0xD9);
    }
}

uint16_t CJpegRTPMediaParser::ChooseDimension(uint8_t headerBlocks, uint16_t configured) {
    // Pictures above 2040 pixels do not fit the 8-bit header field: cameras
    // send it truncated (or 0), and the configured size is taken when it is
    // more than twice what the header says.
    uint32_t headerPixels = uint32_t(headerBlocks) * kBlockSize;
    if (configured > 2 * headerPixels)
        return configured;
    return headerBlocks == 0 ? kZeroBlocksPixels : uint16_t(headerPixels);
}

bool CJpegRTPMediaParser::SelectQuantizationTables(uint8_t q, std::span<const uint8_t>& headers,
                                                   CJpegHeaderWriter::Picture& picture) {
    if (q < kFirstTableQ) {
        if (m_computedQ != q) {
            m_computedTables = CJpegHeaderWriter::MakeQuantizationTables(q);
            m_computedQ = q;
        }
        std::span<const uint8_t> tables = m_computedTables;
        picture.quantizationTables = {tables.first(CJpegHeaderWriter::kTableBytes8Bit),
                                      tables.subspan(CJpegHeaderWriter::kTableBytes8Bit)};
        return true;
    }
    if (headers.size() < kQuantizationHeaderBytes)
        return false;
    uint8_t precision = headers[1];
    size_t length = (size_t(headers[2]) << 8) | headers[3];
    headers = headers.subspan(kQuantizationHeaderBytes);
    if (length == 0) {
        if (q == kDynamicTableQ || q != m_staticQ)
            return false;
        std::span<const uint8_t> cached = m_staticTables;
        picture.quantizationTables = {cached.first(m_staticTableSizes[0]),
                                      cached.subspan(m_staticTableSizes[0], m_staticTableSizes[1])};
        return true;
    }
    std::array<size_t, 2> sizes{};
    for (size_t id = 0; id < 2; ++id)
        sizes[id] = precision & (1u << id) ? CJpegHeaderWriter::kTableBytes16Bit : CJpegHeaderWriter::kTableBytes8Bit;
    if (length < sizes[0] + sizes[1] || headers.size() < length)
        return false;
    picture.quantizationTables = {headers.first(sizes[0]), headers.subspan(sizes[0], sizes[1])};
    headers = headers.subspan(length);
    if (q != kDynamicTableQ) {
        std::memcpy(m_staticTables.data(), picture.quantizationTables[0].data(), sizes[0] + sizes[1]);
        m_staticTableSizes = sizes;
        m_staticQ = q;
    }
    return true;
}

size_t CJpegRTPMediaParser::RebuildJpeg(std::span<uint8_t> out) {
    std::span<const uint8_t> frame = m_frame;
    if (frame.size() < kMainHeaderBytes)
        return 0;
    uint8_t type = frame[4];
    uint8_t q = frame[5];
    if (!IsKnownType(type))
        return 0;
    CJpegHeaderWriter::Picture picture;
    picture.type = type;
    uint16_t configuredWidth = 0, configuredHeight = 0;
    m_client->GetConfiguredSize(configuredWidth, configuredHeight);
    picture.width = ChooseDimension(frame[6], configuredWidth);
    picture.height = ChooseDimension(frame[7], configuredHeight);
    std::span<const uint8_t> rest = frame.subspan(kMainHeaderBytes);
    if (HasRestartHeader(type)) {
        if (rest.size() < kRestartHeaderBytes)
            return 0;
        picture.restartInterval = uint16_t((rest[0] << 8) | rest[1]);
        rest = rest.subspan(kRestartHeaderBytes);
    }
    if (!SelectQuantizationTables(q, rest, picture))
        return 0;
    size_t headerSize = CJpegHeaderWriter::WriteHeaders(picture, out);
    if (headerSize == 0 || out.size() - headerSize < rest.size())
        return 0;
    std::memcpy(out.data() + headerSize, rest.data(), rest.size());
    m_width = picture.width;
    m_height = picture.height;
    return headerSize + rest.size();
}

void CJpegRTPMediaParser::ProcessFrame(uint32_t rtpTimestamp) {
    if (!m_client)
        return;
    AppendEndOfImage();
    m_client->GetDeviceName(m_deviceName);
    CHostFrame hostFrame(m_owner.GetFrameAllocator(), kTypeJpeg, uint32_t(m_frame.size()) + kHeaderReserve,
                         m_deviceName);
    if (!hostFrame) {
        m_owner.GetLogger().DebugMessage(1, "%s: Frame allocation error, device %s",
                                         "talvex::CJpegRTPMediaParser::ProcessFrame", m_deviceName.c_str());
        return;
    }
    size_t size = RebuildJpeg(hostFrame.GetBuffer());
    if (size == 0)
        return;
    CTime time;
    m_client->ConvertTimestamp(rtpTimestamp, time);
    hostFrame.Describe(uint32_t(size), m_width, m_height, kTypeJpeg, time);
    if (!hostFrame.DeliverTo(*m_client))
        Reset();
}

} // namespace talvex

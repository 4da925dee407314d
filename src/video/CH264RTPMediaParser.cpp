#include "video/CH264RTPMediaParser.h"

#include "video/CH264SpsReader.h"
#include "video/FrameTypes.h"

namespace talvex {

namespace {

constexpr uint8_t kStartCode[] = {0x00, 0x00, 0x01};
// Access unit delimiter (primary_pic_type 1) closing every frame.
constexpr uint8_t kAccessUnitDelimiter[] = {0x00, 0x00, 0x01, 0x09, 0x30};

// RFC 6184 5.4: NAL unit and packet types.
constexpr uint8_t kFirstSliceType = 1;
constexpr uint8_t kNalIdr = 5;
constexpr uint8_t kNalSei = 6;
constexpr uint8_t kNalSps = 7;
constexpr uint8_t kNalPps = 8;
constexpr uint8_t kNalAccessUnitDelimiter = 9;
constexpr uint8_t kStapA = 24;
constexpr uint8_t kFuA = 28;

constexpr uint8_t NalType(uint8_t header) { return header & 0x1F; }
constexpr uint8_t NalRefIdc(uint8_t header) { return (header >> 5) & 0x03; }
constexpr bool IsSlice(uint8_t header) { return NalType(header) >= kFirstSliceType && NalType(header) <= kNalIdr; }

//  FU indicator        FU header
//  +-+-+-+-+-+-+-+-+   +-+-+-+-+-+-+-+-+
//  |F|NRI|  Type=28|   |S|E|R|  Type   |
//  +-+-+-+-+-+-+-+-+   +-+-+-+-+-+-+-+-+
constexpr bool IsFragmentStart(uint8_t fuHeader) { return (fuHeader & 0x80) != 0; }

} // namespace

CH264RTPMediaParser::CH264RTPMediaParser(IMediaParserOwner& owner) : CRTPMediaParser(owner) {}

void CH264RTPMediaParser::ProcessPacket(const CRTPPacket& packet) {
    CRTPMediaParser::ProcessPacket(packet);
    if (packet.GetMarker())
        m_noFrameCompleted = false;
}

void CH264RTPMediaParser::Reset() {
    CRTPMediaParser::Reset();
    m_width = 0;
    m_height = 0;
    m_waitingForKeyFrame = true;
    m_noFrameCompleted = true;
    m_inFragment = false;
    m_frameHasSlice = false;
}

// Tolerance: some cameras set the marker bit on an SEI packet sent before the
// slices of a picture. RFC 6184 5.1 sets it on the last packet of an access
// unit, and an access unit has at least one slice, so a marker before any
// slice does not close the frame (for a conforming camera nothing changes).
bool CH264RTPMediaParser::IsFrameEnd(const CRTPPacket& packet) const {
    return packet.GetMarker() && m_frameHasSlice;
}

void CH264RTPMediaParser::SetConfiguration(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                                           std::span<const uint8_t>) {
    if (sps.empty() || pps.empty())
        return;
    uint16_t width = 0, height = 0;
    if (!CH264SpsReader::ReadPictureSize(sps, width, height))
        return;
    m_width = width;
    m_height = height;
    m_configurations[kFirstParameterSet].assign(sps.begin(), sps.end());
    m_configurations[kSecondParameterSet].assign(pps.begin(), pps.end());
}

bool CH264RTPMediaParser::AppendPayload(std::span<const uint8_t> payload) {
    if (payload.empty())
        return false;
    uint8_t type = NalType(payload[0]);
    if (type >= 1 && type <= 23)
        return AppendSingleNalUnit(payload);
    if (type == kStapA)
        return AppendAggregationPacket(payload);
    if (type == kFuA)
        return AppendFragment(payload);
    // STAP-B, MTAP16, MTAP24, FU-B (interleaved mode) and reserved types.
    return false;
}

bool CH264RTPMediaParser::AppendSingleNalUnit(std::span<const uint8_t> nalUnit) {
    if (nalUnit.size() < 2)
        return false;
    switch (NalType(nalUnit[0])) {
    case kNalSps:
        StoreParameterSet(kFirstParameterSet, nalUnit);
        break;
    case kNalPps:
        StoreParameterSet(kSecondParameterSet, nalUnit);
        break;
    case kNalSei:
    case kNalAccessUnitDelimiter:
        break;
    case kNalIdr:
        PrependParameterSets();
        AppendNalUnit(nalUnit);
        break;
    default:
        // nal_ref_idc 0: nothing refers to this unit; it is left out.
        if (NalRefIdc(nalUnit[0]) != 0)
            AppendNalUnit(nalUnit);
        break;
    }
    return true;
}

//  STAP-A: one byte STAP header, then (16-bit size, NAL unit) pairs.
bool CH264RTPMediaParser::AppendAggregationPacket(std::span<const uint8_t> payload) {
    if (payload.size() < 4)
        return false;
    std::span<const uint8_t> rest = payload.subspan(1);
    while (rest.size() >= 2) {
        size_t size = (size_t(rest[0]) << 8) | rest[1];
        rest = rest.subspan(2);
        if (size > rest.size())
            return false;
        if (size > 0)
            AppendNalUnit(rest.first(size));
        rest = rest.subspan(size);
    }
    return true;
}

bool CH264RTPMediaParser::AppendFragment(std::span<const uint8_t> payload) {
    if (payload.size() < 3)
        return false;
    uint8_t indicator = payload[0];
    uint8_t fuHeader = payload[1];
    if (IsFragmentStart(fuHeader)) {
        uint8_t nalHeader = uint8_t((indicator & 0xE0) | NalType(fuHeader));
        if (NalType(fuHeader) == kNalIdr && m_frame.empty() && !m_noFrameCompleted)
            PrependParameterSets();
        Append(kStartCode);
        m_frame.push_back(nalHeader);
        m_inFragment = true;
        m_frameHasSlice = m_frameHasSlice || IsSlice(nalHeader);
    } else if (!m_inFragment) {
        // The start of this NAL unit was lost or came before a reset.
        return true;
    }
    Append(payload.subspan(2));
    return true;
}

void CH264RTPMediaParser::AppendNalUnit(std::span<const uint8_t> nalUnit) {
    Append(kStartCode);
    Append(nalUnit);
    m_inFragment = false;
    m_frameHasSlice = m_frameHasSlice || IsSlice(nalUnit[0]);
}

void CH264RTPMediaParser::PrependParameterSets() {
    const auto& sps = m_configurations[kFirstParameterSet];
    const auto& pps = m_configurations[kSecondParameterSet];
    if (!m_frame.empty() || sps.empty() || pps.empty())
        return;
    Append(kStartCode);
    Append(sps);
    Append(kStartCode);
    Append(pps);
}

void CH264RTPMediaParser::StoreParameterSet(ConfigurationIndex index, std::span<const uint8_t> nalUnit) {
    m_configurations[index].assign(nalUnit.begin(), nalUnit.end());
    m_noFrameCompleted = false;
}

// An SPS belongs in front of the first slice of its access unit (ITU-T H.264
// 7.4.1.2.3), so the search ends at the first slice and does not read through
// the slice data of every frame.
bool CH264RTPMediaParser::FindSequenceParameterSet(uint16_t& width, uint16_t& height) const {
    std::span<const uint8_t> frame = m_frame;
    for (size_t i = 0; i + 3 < frame.size(); ++i) {
        if (frame[i] != 0 || frame[i + 1] != 0 || frame[i + 2] != 1)
            continue;
        uint8_t type = NalType(frame[i + 3]);
        if (type == kNalSps)
            return CH264SpsReader::ReadPictureSize(frame.subspan(i + 3), width, height);
        if (type >= kFirstSliceType && type <= kNalIdr)
            return false;
    }
    return false;
}

void CH264RTPMediaParser::ProcessFrame(uint32_t rtpTimestamp) {
    m_inFragment = false;
    m_frameHasSlice = false;
    if (!CanDeliver())
        return;
    Append(kAccessUnitDelimiter);
    uint16_t width = 0, height = 0;
    uint32_t typeCode = kTypeH264Frame;
    if (FindSequenceParameterSet(width, height)) {
        typeCode = kTypeH264KeyFrame;
        m_width = width;
        m_height = height;
        m_waitingForKeyFrame = false;
    } else if (m_waitingForKeyFrame) {
        return;
    }
    DeliverAssembledFrame(typeCode, rtpTimestamp, "talvex::CH264RTPMediaParser::ProcessFrame");
}

} // namespace talvex

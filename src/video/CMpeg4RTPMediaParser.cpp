#include "video/CMpeg4RTPMediaParser.h"

#include "video/CMP4Parser.h"
#include "video/FrameTypes.h"

#include <algorithm>

namespace talvex {

namespace {

constexpr uint8_t kVisualObjectSequenceStart[] = {0x00, 0x00, 0x01, 0xB0};
constexpr uint8_t kVopStart[] = {0x00, 0x00, 0x01, 0xB6};
// A configuration-only payload without a VOP is short; a longer payload that
// starts with a VOS header but holds no VOP is taken as frame data.
constexpr size_t kMaxConfigurationOnlyPayload = 63;
// vop_coding_type (ISO/IEC 14496-2 6.2.5): the top two bits after the start code; 0 is an I-VOP.
constexpr bool IsIntraVop(uint8_t codingTypeByte) { return (codingTypeByte >> 6) == 0; }

bool StartsWith(std::span<const uint8_t> bytes, std::span<const uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

size_t Find(std::span<const uint8_t> bytes, size_t from, std::span<const uint8_t> pattern) {
    if (from > bytes.size())
        return bytes.size();
    auto it = std::search(bytes.begin() + from, bytes.end(), pattern.begin(), pattern.end());
    return size_t(it - bytes.begin());
}

} // namespace

CMpeg4RTPMediaParser::CMpeg4RTPMediaParser(IMediaParserOwner& owner) : CRTPMediaParser(owner) {}

void CMpeg4RTPMediaParser::Reset() {
    CRTPMediaParser::Reset();
    m_waitingForKeyFrame = true;
    m_isKeyFrame = false;
}

size_t CMpeg4RTPMediaParser::TakeInBandConfiguration(std::span<const uint8_t> payload) {
    if (payload.size() < 5 || !StartsWith(payload, kVisualObjectSequenceStart))
        return 0;
    size_t vop = Find(payload, 4, kVopStart);
    if (vop < payload.size()) {
        m_inBandConfiguration.assign(payload.begin(), payload.begin() + vop);
        return vop;
    }
    if (payload.size() <= kMaxConfigurationOnlyPayload) {
        m_inBandConfiguration.assign(payload.begin(), payload.end());
        return payload.size();
    }
    return 0;
}

void CMpeg4RTPMediaParser::StartVop(uint8_t codingTypeByte) {
    m_frame.clear();
    m_isKeyFrame = IsIntraVop(codingTypeByte);
    if (m_isKeyFrame)
        Append(m_inBandConfiguration.empty() ? m_configurations[kConfiguration] : m_inBandConfiguration);
}

bool CMpeg4RTPMediaParser::AppendPayload(std::span<const uint8_t> payload) {
    size_t offset = TakeInBandConfiguration(payload);
    std::span<const uint8_t> data = payload.subspan(offset);
    if (data.size() > sizeof(kVopStart) && StartsWith(data, kVopStart))
        StartVop(data[sizeof(kVopStart)]);
    // Until a key frame has gone out, only an I-VOP is collected: predicted
    // VOPs would refer to a picture the host never received.
    if (!m_waitingForKeyFrame || m_isKeyFrame)
        Append(data);
    return true;
}

void CMpeg4RTPMediaParser::ProcessFrame(uint32_t rtpTimestamp) {
    if (!CanDeliver())
        return;
    uint32_t typeCode = kTypeMpeg4Frame;
    if (m_isKeyFrame) {
        uint16_t width = 0, height = 0;
        if (!CMP4Parser::ReadPictureSize(m_frame, width, height)) {
            Reset();
            return;
        }
        m_width = width;
        m_height = height;
        m_waitingForKeyFrame = false;
        typeCode = kTypeMpeg4KeyFrame;
    }
    // Data that follows without a VOP start code of its own is no key frame.
    m_isKeyFrame = false;
    DeliverAssembledFrame(typeCode, rtpTimestamp, "talvex::CMpeg4RTPMediaParser::ProcessFrame");
}

} // namespace talvex

#include "audio/CAudioParser.h"

#include <algorithm>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;

// A quarter of a second at each G.726 rate the camera offers.
uint32_t G726FrameBytes(uint32_t bitrate) {
    switch (bitrate) {
    case 16000:
        return 500;
    case 24000:
        return 750;
    case 32000:
        return 1000;
    case 40000:
        return 1250;
    default:
        return CAudioParser::kDefaultFrameBytes;
    }
}

uint16_t ReadBigEndian16(std::span<const uint8_t> bytes, size_t offset) {
    return uint16_t((bytes[offset] << 8) | bytes[offset + 1]);
}

} // namespace

CAudioParser::CAudioParser(IDriver* driver, uint8_t channelNumber)
    : m_driver(driver), m_channelNumber(channelNumber), m_name(driver->GetDriverName() + "::AudioStream") {}

void CAudioParser::SetFormat(const AudioFormat& format) {
    m_format = format;
    m_buffer.clear();
}

uint32_t CAudioParser::FrameBytes(const AudioFormat& format) {
    switch (format.fourcc) {
    case kFourccG711MuLaw:
    case kFourccG711ALaw:
        return kG711FrameBytes;
    case kFourccG726:
        return G726FrameBytes(format.bitrate);
    case kFourccAac:
        return format.bitrate / kAacDivisor ? format.bitrate / kAacDivisor : kAacDefaultFrameBytes;
    default:
        return kDefaultFrameBytes;
    }
}

bool CAudioParser::Parse(std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return false;
    switch (m_format.fourcc) {
    case kFourccG711MuLaw:
    case kFourccG711ALaw:
    case kFourccG726:
        return ParseRaw(bytes);
    case kFourccAac:
        return ParseAac(bytes);
    default:
        return false;
    }
}

bool CAudioParser::ParseRaw(std::span<const uint8_t> bytes) {
    const size_t frameBytes = FrameBytes(m_format);
    while (!bytes.empty()) {
        const size_t take = std::min(frameBytes - m_buffer.size(), bytes.size());
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.begin() + take);
        bytes = bytes.subspan(take);
        if (m_buffer.size() == frameBytes) {
            ProcessAudioFrame(m_buffer);
            m_buffer.clear();
        }
    }
    return true;
}

bool CAudioParser::ParseAac(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        // Only as much as completes the header or the unit: the buffer never
        // holds more than one unit and its header.
        size_t want = kAacHeaderBytes;
        if (m_buffer.size() >= kAacHeaderBytes) {
            if (!HasValidAacHeader())
                return false;
            want = kAacHeaderBytes + AacUnitBytes();
        }
        const size_t take = std::min(want - m_buffer.size(), bytes.size());
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.begin() + take);
        bytes = bytes.subspan(take);
        if (m_buffer.size() > kAacHeaderBytes && m_buffer.size() == want) {
            ProcessAudioFrame(std::span<const uint8_t>(m_buffer).subspan(kAacHeaderBytes));
            m_buffer.clear();
        }
    }
    // A header completed by the last bytes is checked now, not with the next piece.
    return m_buffer.size() < kAacHeaderBytes || HasValidAacHeader();
}

size_t CAudioParser::AacUnitBytes() const {
    return ReadBigEndian16(m_buffer, 2) >> 3;
}

bool CAudioParser::HasValidAacHeader() const {
    return ReadBigEndian16(m_buffer, 0) == kAacHeaderSectionBits && AacUnitBytes() != 0;
}

void CAudioParser::ProcessAudioFrame(std::span<const uint8_t> frame) {
    ipcapture::IFrameAllocator* allocator = m_driver->GetHostContext();
    if (!allocator)
        return;
    switch (DeliverAudioFrame(*allocator, m_callback, m_format, frame, m_channelNumber, m_name)) {
    case AudioDelivery::NoFrame:
        m_driver->DebugMessage(kErrorLevel, "%s: Unable to allocate  memory for audio frame!",
                               "talvex::CAudioParser::ProcessAudioFrame");
        break;
    case AudioDelivery::Refused:
        m_driver->DebugMessage(kErrorLevel, "talvex::CAudioParser::ProcessAudioFrame: Audio-frame processing error, device %s",
                               m_driver->GetDeviceInfo()->address.c_str());
        break;
    case AudioDelivery::Taken:
        break;
    }
}

} // namespace talvex

#include "audio/CBaseRTPAudioParser.h"

#include <exception>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;

} // namespace

CBaseRTPAudioParser::CBaseRTPAudioParser(IDriver* driver, IAudioParserCallback* consumer, uint8_t channelNumber,
                                         std::string name)
    : m_driver(driver), m_consumer(consumer), m_channelNumber(channelNumber), m_name(std::move(name)) {}

void CBaseRTPAudioParser::SetFormat(const AudioFormat& format) {
    m_format = format;
    Reset();
}

void CBaseRTPAudioParser::Reset() {
    m_buffer.clear();
    m_haveSequence = false;
}

void CBaseRTPAudioParser::OnRtpPacket(std::span<const uint8_t> payload, uint16_t sequenceNumber) {
    try {
        HandlePacket(payload, sequenceNumber);
    } catch (const std::exception&) {
        Reset();
    }
}

void CBaseRTPAudioParser::HandlePacket(std::span<const uint8_t> payload, uint16_t sequenceNumber) {
    if (m_haveSequence && sequenceNumber != uint16_t(m_lastSequence + 1))
        Reset();
    m_haveSequence = true;
    m_lastSequence = sequenceNumber;
    Append(payload);
    if (m_buffer.size() >= m_format.samplesPerSecond) {
        ProcessAudioFrame();
        m_buffer.clear();
    }
}

void CBaseRTPAudioParser::Append(std::span<const uint8_t> payload) {
    if (payload.data() == nullptr || payload.size() < kMinPayloadBytes)
        return;
    m_buffer.insert(m_buffer.end(), payload.begin(), payload.end());
}

void CBaseRTPAudioParser::ProcessAudioFrame() {
    ipcapture::IFrameAllocator* allocator = m_driver->GetHostContext();
    if (!allocator || m_buffer.empty())
        return;
    switch (DeliverAudioFrame(*allocator, m_consumer, m_format, m_buffer, m_channelNumber, m_name)) {
    case AudioDelivery::NoFrame:
        m_driver->DebugMessage(kErrorLevel, "%s: Unable to allocate  memory for audio frame!",
                               "talvex::CBaseRTPAudioParser::ProcessAudioFrame");
        break;
    case AudioDelivery::Refused: {
        const DEVICE_INFO* device = m_driver->GetDeviceInfo();
        m_driver->DebugMessage(kErrorLevel, "%s: Audio-frame processing error, camera %s:%u",
                               "talvex::CBaseRTPAudioParser::ProcessAudioFrame", device->address.c_str(),
                               unsigned(device->port));
        Reset();
        break;
    }
    case AudioDelivery::Taken:
        break;
    }
}

} // namespace talvex

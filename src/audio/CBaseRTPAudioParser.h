// Gathers the payloads of an RTP audio stream into frames of one second of
// G.711 / G.726 (samplesPerSecond bytes) for the host. A gap in the sequence
// numbers discards what was gathered, so a frame never spans lost audio.
#pragma once

#include "audio/AudioFormat.h"
#include "audio/IAudioParserCallback.h"
#include "common/IDriver.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace talvex {

class CBaseRTPAudioParser {
public:
    // Payloads shorter than this carry no audio worth a frame.
    static constexpr size_t kMinPayloadBytes = 2;

    // name: the label the host's allocator gets with every frame.
    CBaseRTPAudioParser(IDriver* driver, IAudioParserCallback* consumer, uint8_t channelNumber, std::string name);
    CBaseRTPAudioParser(const CBaseRTPAudioParser&) = delete;
    CBaseRTPAudioParser& operator=(const CBaseRTPAudioParser&) = delete;

    virtual void Append(std::span<const uint8_t> payload);
    virtual void ProcessAudioFrame();
    virtual ~CBaseRTPAudioParser() = default;

    // Never throws: a packet that fails is dropped.
    void OnRtpPacket(std::span<const uint8_t> payload, uint16_t sequenceNumber);
    virtual void Reset();
    void SetFormat(const AudioFormat& format);

private:
    void HandlePacket(std::span<const uint8_t> payload, uint16_t sequenceNumber);

    IDriver* m_driver;
    IAudioParserCallback* m_consumer;
    const uint8_t m_channelNumber;
    const std::string m_name;
    AudioFormat m_format;
    std::vector<uint8_t> m_buffer;
    bool m_haveSequence = false;
    uint16_t m_lastSequence = 0;
};

} // namespace talvex

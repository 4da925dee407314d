// Common base of the RTP depacketisers: sequence check, frame buffer and its
// size limit, and the shared steps that turn a finished frame into a host
// frame. Each codec class only reassembles its payload format.
//
// A parser is used by the one thread that delivers its channel's packets.
#pragma once

#include "streaming/CRTPPacket.h"
#include "video/CFrameBufferTrim.h"
#include "video/IMediaParserClient.h"
#include "video/IMediaParserOwner.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace talvex {

class CRTPMediaParser {
public:
    explicit CRTPMediaParser(IMediaParserOwner& owner);
    virtual ~CRTPMediaParser() = default;
    CRTPMediaParser(const CRTPMediaParser&) = delete;
    CRTPMediaParser& operator=(const CRTPMediaParser&) = delete;

    virtual void ProcessPacket(const CRTPPacket& packet);
    // Drops the partial frame.
    virtual void Reset();
    // The decoder configuration from the session description: first and
    // second parameter set, configuration.
    virtual void SetConfiguration(std::span<const uint8_t> first, std::span<const uint8_t> second,
                                  std::span<const uint8_t> configuration);
    void SetClient(IMediaParserClient* client) { m_client = client; }

    // Picture size of the last key frame (0 x 0 before the first).
    uint16_t GetWidth() const { return m_width; }
    uint16_t GetHeight() const { return m_height; }

protected:
    // Adds the payload of one packet to the frame; false when it is malformed.
    virtual bool AppendPayload(std::span<const uint8_t> payload) = 0;
    // True when the packet closes the frame: by default its marker bit.
    virtual bool IsFrameEnd(const CRTPPacket& packet) const { return packet.GetMarker(); }
    // Turns the finished frame (never empty) into a host frame.
    virtual void ProcessFrame(uint32_t rtpTimestamp) = 0;

    // True when there is an allocator and a client to deliver a frame to.
    bool CanDeliver();
    // The shared finishing steps: allocate, copy the frame, set its
    // description and deliver; a failed copy or delivery resets the parser.
    void DeliverAssembledFrame(uint32_t typeCode, uint32_t rtpTimestamp, const char* functionName);
    void Append(std::span<const uint8_t> bytes) { m_frame.insert(m_frame.end(), bytes.begin(), bytes.end()); }

    enum ConfigurationIndex { kFirstParameterSet = 0, kSecondParameterSet = 1, kConfiguration = 2 };

    IMediaParserOwner& m_owner;
    IMediaParserClient* m_client = nullptr;
    std::vector<uint8_t> m_frame;
    CFrameBufferTrim m_frameTrim;
    std::array<std::vector<uint8_t>, 3> m_configurations;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    // Reused for every frame, so that asking for the name does not allocate.
    std::string m_deviceName;

private:
    // The first packet is in order; later ones only when they follow the
    // previous sequence number (modulo 2^16). Remembers the number either way.
    bool IsInOrder(uint16_t sequenceNumber);
    // False (after logging and resetting) when the frame outgrew kMaxFrameBytes.
    bool CheckBufferSize();

    uint16_t m_lastSequence = 0;
    bool m_firstPacket = true;
};

} // namespace talvex

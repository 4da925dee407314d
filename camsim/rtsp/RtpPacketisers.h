// RTP payload formats of the simulated camera: H.264 (RFC 6184: single NAL
// units, STAP-A for the parameter sets, FU-A for large units), MPEG-4 visual
// (RFC 3016, configuration in band before each I-VOP), JPEG (RFC 2435, Q 255
// with the quantisation tables in band); the RTP header and the RTCP sender
// report and BYE. Audio payloads: AudioClips.h.
#pragma once

#include "MediaClips.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace camsim {

struct RtpPayload {
    Bytes bytes;
    bool marker = false;
};

constexpr size_t MAX_RTP_PAYLOAD = 1400;

std::vector<RtpPayload> PacketiseH264(const ClipFrame& frame, size_t maxPayload = MAX_RTP_PAYLOAD);
std::vector<RtpPayload> PacketiseMpeg4(const ClipFrame& frame, const Bytes& configuration,
                                       size_t maxPayload = MAX_RTP_PAYLOAD);
// Empty for a picture RFC 2435 cannot carry (not baseline, wider than 2040, ...).
std::vector<RtpPayload> PacketiseJpeg(std::span<const uint8_t> picture, size_t maxPayload = MAX_RTP_PAYLOAD);

struct RtpHeader {
    uint8_t payloadType = 96;
    bool marker = false;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
};
Bytes BuildRtpPacket(const RtpHeader& header, std::span<const uint8_t> payload);
// ntpTime: 32.32 fixed point seconds since 1900.
Bytes BuildSenderReport(uint32_t ssrc, uint64_t ntpTime, uint32_t rtpTimestamp, uint32_t packets, uint32_t octets);
Bytes BuildRtcpBye(uint32_t ssrc);

} // namespace camsim

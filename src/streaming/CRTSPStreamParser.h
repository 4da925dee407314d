// Cuts RTP packets out of an RTSP connection that carries them interleaved
// (RFC 2326 10.12): '$', channel, 16-bit length, packet.
//
// Channel 0 carries the RTP packets; frames of other channels (RTCP on 1) are
// skipped by their length, and RTSP answers in the stream are cut out whole,
// so a '$' inside either is never taken for a frame start. Other bytes are
// skipped one at a time until the next frame or answer begins.
//
// Packets reach the user in stream order. When the user, inside a delivery,
// feeds more stream bytes (a keep-alive whose answer is read from the same
// connection), those bytes are cut but their packets wait until the delivery
// in progress returns.
#pragma once

#include "streaming/CRTPPacket.h"
#include "streaming/IRTPReceiverUser.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvex {

class CRTSPStreamParser {
public:
    static constexpr uint8_t RTP_CHANNEL = 0;
    // An answer in the stream (header block and body) larger than this is skipped.
    static constexpr size_t MAX_RESPONSE_BYTES = 16384;
    // Answers not yet taken; older ones are dropped first.
    static constexpr size_t MAX_QUEUED_RESPONSES = 4;
    // Packet slots kept between deliveries; a larger backlog's extra slots are freed.
    static constexpr size_t MAX_KEPT_PACKET_SLOTS = 256;

    CRTSPStreamParser(IRTPReceiverUser* user, const sockaddr_in& serverAddress);

    // arrivalNs: when the bytes were read, given to the packets they complete.
    void Feed(std::span<const uint8_t> bytes, uint64_t arrivalNs = 0);
    // The oldest RTSP answer seen in the stream and not yet taken.
    std::optional<std::string> TakeResponse();
    // Payload bytes of packets cut but not yet delivered.
    size_t GetPendingPacketBytes() const { return m_pendingPacketBytes; }

private:
    enum class Cut { Item, NeedMore };
    Cut CutNext();
    Cut CutFrame(std::span<const uint8_t> available);
    Cut CutResponse(std::span<const uint8_t> available);
    void DeliverPending();

    IRTPReceiverUser* m_user;
    sockaddr_in m_serverAddress;
    std::vector<uint8_t> m_buffer;
    size_t m_offset = 0;
    // Bytes of an oversized answer or of a foreign frame still to be skipped.
    size_t m_skipRemaining = 0;
    // Packets are parsed into reused slots (their buffers kept), so a steady
    // stream allocates nothing per packet; slots [m_pendingBegin, m_pendingEnd)
    // wait for delivery. A deque, so that slots added while a packet is being
    // delivered (an answer read from the stream meanwhile) leave it in place.
    std::deque<CRTPPacket> m_packetSlots;
    size_t m_pendingBegin = 0;
    size_t m_pendingEnd = 0;
    size_t m_pendingPacketBytes = 0;
    uint64_t m_arrivalNs = 0; // of the bytes being fed
    std::deque<std::string> m_responses;
    bool m_delivering = false;
};

} // namespace talvex

#include "streaming/CRTSPStreamParser.h"

#include "streaming/CRTSPResponseParser.h"

#include <algorithm>
#include <string_view>

namespace talvex {

namespace {

constexpr uint8_t FRAME_MARK = '$';
constexpr size_t FRAME_HEADER_BYTES = 4;
constexpr std::string_view RESPONSE_START = "RTSP/";
constexpr std::string_view HEADER_END = "\r\n\r\n";

} // namespace

CRTSPStreamParser::CRTSPStreamParser(IRTPReceiverUser* user, const sockaddr_in& serverAddress)
    : m_user(user), m_serverAddress(serverAddress) {}

void CRTSPStreamParser::Feed(std::span<const uint8_t> bytes, uint64_t arrivalNs) {
    m_arrivalNs = arrivalNs;
    if (m_offset > 0 && m_offset >= m_buffer.size() / 2) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(m_offset));
        m_offset = 0;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    while (CutNext() == Cut::Item) {
    }
    if (!m_delivering)
        DeliverPending();
}

std::optional<std::string> CRTSPStreamParser::TakeResponse() {
    if (m_responses.empty())
        return std::nullopt;
    std::string response = std::move(m_responses.front());
    m_responses.pop_front();
    return response;
}

void CRTSPStreamParser::DeliverPending() {
    m_delivering = true;
    while (m_pendingBegin < m_pendingEnd) {
        const CRTPPacket& packet = m_packetSlots[m_pendingBegin++];
        m_pendingPacketBytes -= packet.GetPayloadSize();
        if (!m_user)
            continue;
        try {
            m_user->OnRTPPacket(m_serverAddress, packet);
        } catch (...) {
            // A failing consumer loses this packet, not the stream.
        }
    }
    m_pendingBegin = m_pendingEnd = 0;
    if (m_packetSlots.size() > MAX_KEPT_PACKET_SLOTS)
        m_packetSlots.resize(MAX_KEPT_PACKET_SLOTS);
    m_delivering = false;
}

CRTSPStreamParser::Cut CRTSPStreamParser::CutNext() {
    const std::span<const uint8_t> available = std::span<const uint8_t>(m_buffer).subspan(m_offset);
    if (available.empty())
        return Cut::NeedMore;
    if (m_skipRemaining > 0) {
        const size_t skipped = std::min(m_skipRemaining, available.size());
        m_skipRemaining -= skipped;
        m_offset += skipped;
        return Cut::Item;
    }
    if (available[0] == FRAME_MARK)
        return CutFrame(available);
    if (available[0] == uint8_t(RESPONSE_START[0]))
        return CutResponse(available);
    ++m_offset;
    return Cut::Item;
}

CRTSPStreamParser::Cut CRTSPStreamParser::CutFrame(std::span<const uint8_t> available) {
    if (available.size() < FRAME_HEADER_BYTES)
        return Cut::NeedMore;
    const uint8_t channel = available[1];
    const size_t length = size_t(available[2] << 8) | available[3];
    if (channel != RTP_CHANNEL) {
        m_offset += FRAME_HEADER_BYTES;
        m_skipRemaining = length;
        return Cut::Item;
    }
    if (available.size() < FRAME_HEADER_BYTES + length)
        return Cut::NeedMore;
    if (m_pendingEnd == m_packetSlots.size())
        m_packetSlots.emplace_back();
    CRTPPacket& packet = m_packetSlots[m_pendingEnd];
    if (packet.Parse(available.subspan(FRAME_HEADER_BYTES, length))) {
        packet.SetArrivalNs(m_arrivalNs);
        m_pendingPacketBytes += packet.GetPayloadSize();
        ++m_pendingEnd;
    }
    m_offset += FRAME_HEADER_BYTES + length;
    return Cut::Item;
}

CRTSPStreamParser::Cut CRTSPStreamParser::CutResponse(std::span<const uint8_t> available) {
    const std::string_view text(reinterpret_cast<const char*>(available.data()),
                                std::min(available.size(), MAX_RESPONSE_BYTES));
    if (text.size() < RESPONSE_START.size() && RESPONSE_START.starts_with(text))
        return Cut::NeedMore;
    if (!text.starts_with(RESPONSE_START)) {
        ++m_offset;
        return Cut::Item;
    }
    const size_t headerEnd = text.find(HEADER_END);
    if (headerEnd == std::string_view::npos) {
        if (text.size() < MAX_RESPONSE_BYTES)
            return Cut::NeedMore;
        ++m_offset; // no header end within the limit: not an answer after all
        return Cut::Item;
    }
    const size_t headerBytes = headerEnd + HEADER_END.size();
    const size_t bodyBytes =
        CRTSPResponseParser::FindHeaderNumber(text.substr(0, headerBytes), "content-length").value_or(0);
    if (headerBytes + bodyBytes > MAX_RESPONSE_BYTES) {
        m_offset += headerBytes;
        m_skipRemaining = bodyBytes;
        return Cut::Item;
    }
    if (available.size() < headerBytes + bodyBytes)
        return Cut::NeedMore;
    if (m_responses.size() == MAX_QUEUED_RESPONSES)
        m_responses.pop_front();
    m_responses.emplace_back(text.substr(0, headerBytes + bodyBytes));
    m_offset += headerBytes + bodyBytes;
    return Cut::Item;
}

} // namespace talvex

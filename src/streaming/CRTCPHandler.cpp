#include "streaming/CRTCPHandler.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

namespace talvex {

namespace {

constexpr uint8_t RTCP_VERSION_ONE_BLOCK = 0x81;
constexpr size_t RTCP_HEADER_BYTES = 4;
// SR body: sender SSRC, then the 64-bit NTP time whose middle 32 bits are the LSR.
constexpr size_t SR_LSR_OFFSET = 6;
constexpr size_t SR_MIN_BODY_BYTES = SR_LSR_OFFSET + 4;

void WriteBigEndian32(uint8_t* target, uint32_t value) {
    target[0] = uint8_t(value >> 24);
    target[1] = uint8_t(value >> 16);
    target[2] = uint8_t(value >> 8);
    target[3] = uint8_t(value);
}

uint32_t ReadBigEndian32(const uint8_t* source) {
    return (uint32_t(source[0]) << 24) | (uint32_t(source[1]) << 16) | (uint32_t(source[2]) << 8) | source[3];
}

// The first 32 bits of a fresh 128-bit random identifier; a time-seeded
// pseudo-random number when none can be made or it is all zero.
std::array<uint8_t, 4> MakeOwnSsrc() {
    std::array<uint32_t, 4> identifier{};
    try {
        std::random_device device;
        for (uint32_t& word : identifier)
            word = device();
    } catch (...) {
        identifier = {};
    }
    if (identifier == std::array<uint32_t, 4>{}) {
        std::mt19937 generator(uint32_t(std::chrono::system_clock::now().time_since_epoch().count()));
        identifier[0] = generator();
    }
    std::array<uint8_t, 4> ssrc{};
    WriteBigEndian32(ssrc.data(), identifier[0]);
    return ssrc;
}

} // namespace

void RTPSequenceStatistics::InitSequence(uint16_t sequence) {
    baseSeq = sequence;
    maxSeq = sequence;
    badSeq = RTP_SEQ_MOD + 1; // so that seq == badSeq is false
    cycles = 0;
    received = 0;
    receivedPrior = 0;
    expectedPrior = 0;
}

bool RTPSequenceStatistics::UpdateSequence(uint16_t sequence) {
    const uint16_t delta = uint16_t(sequence - maxSeq);
    // A source is valid once MIN_SEQUENTIAL packets arrived in sequence.
    if (probation) {
        if (sequence == uint16_t(maxSeq + 1)) {
            --probation;
            maxSeq = sequence;
            if (probation == 0) {
                InitSequence(sequence);
                ++received;
                return true;
            }
        } else {
            probation = MIN_SEQUENTIAL - 1;
            maxSeq = sequence;
        }
        return false;
    }
    if (delta < MAX_DROPOUT) {
        // In order, with a permissible gap.
        if (sequence < maxSeq)
            cycles += RTP_SEQ_MOD;
        maxSeq = sequence;
    } else if (delta <= RTP_SEQ_MOD - MAX_MISORDER) {
        // A very large jump: two sequential packets mean the source restarted.
        if (sequence == badSeq) {
            InitSequence(sequence);
        } else {
            badSeq = (uint32_t(sequence) + 1) & (RTP_SEQ_MOD - 1);
            return false;
        }
    }
    // Otherwise a duplicate or reordered packet.
    ++received;
    return true;
}

void RTPSequenceStatistics::OnSequence(uint16_t sequence) {
    if (!firstPacketSeen) {
        firstPacketSeen = true;
        InitSequence(sequence);
        maxSeq = uint16_t(sequence - 1);
        probation = MIN_SEQUENTIAL;
    }
    UpdateSequence(sequence);
}

void RTPSequenceStatistics::OnPacket(uint16_t sequence, uint32_t rtpTimestamp, uint64_t arrivalNs) {
    OnSequence(sequence);
    if (!transitSeen)
        firstArrivalNs = arrivalNs;
    // Arrival in the media clock, counted from the first packet so that the
    // product stays within 64 bits for years; only differences matter.
    const uint64_t sinceFirstUs = (arrivalNs - firstArrivalNs) / 1000;
    const uint32_t arrival = uint32_t(sinceFirstUs * clockRate / 1000000);
    const uint32_t packetTransit = arrival - rtpTimestamp;
    if (transitSeen) {
        const int32_t difference = int32_t(packetTransit - transit);
        const uint32_t d = uint32_t(difference < 0 ? -int64_t(difference) : difference);
        // J += (|D| - J) / 16, kept times 16 in integers as A.8 does.
        scaledJitter += d - ((scaledJitter + 8) >> 4);
    }
    transit = packetTransit;
    transitSeen = true;
}

RTPReceptionFigures RTPSequenceStatistics::TakeReportFigures() {
    RTPReceptionFigures figures;
    figures.extendedHighestSequence = GetExtendedHighestSequence();
    figures.jitter = scaledJitter >> 4;
    if (!firstPacketSeen || probation)
        return figures;
    const uint32_t expected = figures.extendedHighestSequence - baseSeq + 1;
    const int64_t lost = int64_t(expected) - int64_t(received);
    figures.cumulativeLost = int32_t(std::clamp<int64_t>(lost, MIN_CUMULATIVE_LOST, MAX_CUMULATIVE_LOST));
    const uint32_t expectedInterval = expected - expectedPrior;
    const uint32_t receivedInterval = received - receivedPrior;
    expectedPrior = expected;
    receivedPrior = received;
    const int64_t lostInterval = int64_t(expectedInterval) - int64_t(receivedInterval);
    if (expectedInterval != 0 && lostInterval > 0)
        figures.fractionLost = uint8_t((lostInterval << 8) / expectedInterval);
    return figures;
}

CRTCPHandler::CRTCPHandler() : CBaseThread(nullptr) {}

CRTCPHandler::~CRTCPHandler() {
    Close();
}

uint64_t CRTCPHandler::NowMs() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

bool CRTCPHandler::Open(uint32_t cameraAddress, uint16_t port) {
    return OpenWith(cameraAddress, [&](CUDPClient& client) { return client.Open(this, port); });
}

bool CRTCPHandler::OpenMulticast(uint32_t cameraAddress, const std::string& groupAddress, uint16_t port) {
    return OpenWith(cameraAddress,
                    [&](CUDPClient& client) { return client.OpenMulticast(this, groupAddress, port); });
}

template <class OpenClient>
bool CRTCPHandler::OpenWith(uint32_t cameraAddress, OpenClient openClient) {
    if (m_client || cameraAddress == 0)
        return false;
    ResetReportState();
    m_cameraAddress = cameraAddress;
    auto client = std::make_unique<CUDPClient>();
    client->SetBufferSize(DATAGRAM_BUFFER_BYTES);
    client->SetSelectTimeout(1000);
    if (!openClient(*client))
        return false;
    client->SetSelectTimeout(SELECT_TIMEOUT_MS);
    m_client = std::move(client);
    m_srReceived.Reset();
    if (!StartThread("RTCP Handler Thread")) {
        Close();
        return false;
    }
    return true;
}

void CRTCPHandler::ResetReportState() {
    std::lock_guard lock(m_lock);
    m_srSeen = false;
    m_report = RTCPReportState();
    m_report.ownSsrc = MakeOwnSsrc();
    m_statistics = RTPSequenceStatistics();
    m_senderAddress = sockaddr_in{};
}

void CRTCPHandler::Close() {
    GetStopEvent().Set();
    if (!m_client)
        return;
    std::optional<std::array<uint8_t, BYE_BYTES>> bye;
    sockaddr_in sender{};
    {
        std::lock_guard lock(m_lock);
        if (m_srSeen) {
            bye = BuildBye(m_report.ownSsrc);
            sender = m_senderAddress;
        }
        m_srSeen = false;
    }
    if (bye)
        m_client->SendTo(sender, *bye);
    m_client->Close();
    StopThread(STOP_WAIT_MS);
    m_client.reset();
}

uint16_t CRTCPHandler::GetLocalPort() const {
    return m_client ? m_client->GetLocalPort() : 0;
}

void CRTCPHandler::OnPacket(uint16_t sequenceNumber, uint32_t rtpTimestamp, uint64_t arrivalNs) {
    std::lock_guard lock(m_lock);
    m_statistics.OnPacket(sequenceNumber, rtpTimestamp, arrivalNs);
}

void CRTCPHandler::OnData(IRTPClient*, const sockaddr_in& fromAddress, std::span<const uint8_t> data) {
    if (fromAddress.sin_addr.s_addr != m_cameraAddress || data.size() < RTCP_HEADER_BYTES)
        return;
    // A compound datagram: each packet is 4 + 4 x length bytes.
    size_t offset = 0;
    while (data.size() - offset >= RTCP_HEADER_BYTES) {
        const size_t length = RTCP_HEADER_BYTES + 4 * ((size_t(data[offset + 2]) << 8) | data[offset + 3]);
        if (length > data.size() - offset)
            break;
        const uint8_t type = data[offset + 1];
        if (type == PACKET_SENDER_REPORT) {
            OnSenderReport(fromAddress, data.subspan(offset + RTCP_HEADER_BYTES, length - RTCP_HEADER_BYTES));
        } else if (type == PACKET_BYE) {
            bool wasSeen = false;
            {
                std::lock_guard lock(m_lock);
                wasSeen = m_srSeen;
                m_srSeen = false;
            }
            IRTCPHandlerUser* user = m_user;
            if (wasSeen && user)
                user->OnPeerBye();
        }
        offset += length;
    }
}

void CRTCPHandler::OnSenderReport(const sockaddr_in& fromAddress, std::span<const uint8_t> body) {
    if (body.size() < SR_MIN_BODY_BYTES)
        return;
    {
        std::lock_guard lock(m_lock);
        if (!m_srSeen) {
            m_senderAddress = fromAddress;
            m_srSeen = true;
        }
        std::memcpy(m_report.senderSsrc.data(), body.data(), 4);
        m_report.lastSenderReport = ReadBigEndian32(body.data() + SR_LSR_OFFSET);
        m_report.senderReportArrivalMs = NowMs();
    }
    m_srReceived.Set();
}

std::array<uint8_t, CRTCPHandler::RECEIVER_REPORT_BYTES>
CRTCPHandler::BuildReceiverReport(const RTCPReportState& state, uint64_t nowMs) {
    std::array<uint8_t, RECEIVER_REPORT_BYTES> report{};
    report[0] = RTCP_VERSION_ONE_BLOCK;
    report[1] = PACKET_RECEIVER_REPORT;
    report[3] = RECEIVER_REPORT_BYTES / 4 - 1;
    std::memcpy(&report[4], state.ownSsrc.data(), 4);
    std::memcpy(&report[8], state.senderSsrc.data(), 4);
    // Fraction lost (8 bits) and cumulative lost (24 bits, two's complement) share one word.
    const RTPReceptionFigures& reception = state.reception;
    WriteBigEndian32(&report[12], (uint32_t(reception.fractionLost) << 24) |
                                      (uint32_t(reception.cumulativeLost) & 0xFFFFFF));
    WriteBigEndian32(&report[16], reception.extendedHighestSequence);
    WriteBigEndian32(&report[20], reception.jitter);
    WriteBigEndian32(&report[24], state.lastSenderReport);
    const uint64_t delayMs = nowMs > state.senderReportArrivalMs ? nowMs - state.senderReportArrivalMs : 0;
    WriteBigEndian32(&report[28], uint32_t(delayMs * 65536 / 1000));
    return report;
}

std::array<uint8_t, CRTCPHandler::BYE_BYTES> CRTCPHandler::BuildBye(const std::array<uint8_t, 4>& ownSsrc) {
    std::array<uint8_t, BYE_BYTES> bye{RTCP_VERSION_ONE_BLOCK, PACKET_BYE, 0, 1};
    std::memcpy(&bye[4], ownSsrc.data(), 4);
    return bye;
}

void CRTCPHandler::SendReceiverReport() {
    RTCPReportState state;
    sockaddr_in sender{};
    {
        std::lock_guard lock(m_lock);
        if (!m_srSeen)
            return;
        state = m_report;
        state.reception = m_statistics.TakeReportFigures();
        sender = m_senderAddress;
    }
    if (!m_client->SendTo(sender, BuildReceiverReport(state, NowMs()))) {
        std::lock_guard lock(m_lock);
        m_srSeen = false;
    }
}

void CRTCPHandler::Run() {
    CEvent* events[] = {&GetStopEvent(), &m_srReceived};
    for (;;) {
        if (CEvent::WaitAny(events, 2, REPORT_INTERVAL_MS) == 0)
            return;
        SendReceiverReport();
        m_srReceived.Reset();
    }
}

} // namespace talvex

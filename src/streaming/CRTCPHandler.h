// Receiver side of RTCP (RFC 3550 section 6) for one RTP stream over UDP:
// reads the sender reports, answers with receiver reports so that the camera
// keeps the session, passes on the camera's BYE and says BYE itself on close.
#pragma once

#include "common/CBaseThread.h"
#include "common/CEvent.h"
#include "streaming/CUDPClient.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace talvex {

class IRTCPHandlerUser {
public:
    virtual ~IRTCPHandlerUser() = default;
    virtual void OnPeerBye() = 0;
};

// What a receiver report block tells about one source (RFC 3550 6.4.1).
struct RTPReceptionFigures {
    uint8_t fractionLost = 0;    // of the packets expected since the last report, in 1/256
    int32_t cumulativeLost = 0;  // expected minus received, clamped to 24 bits with sign
    uint32_t extendedHighestSequence = 0;
    uint32_t jitter = 0;         // interarrival jitter in media clock units
};

// RFC 3550 Appendix A.1 per-source sequence state, with the loss of A.3 and the jitter of A.8.
struct RTPSequenceStatistics {
    static constexpr uint32_t MAX_DROPOUT = 3000;
    static constexpr uint32_t MAX_MISORDER = 100;
    static constexpr uint32_t MIN_SEQUENTIAL = 2;
    static constexpr uint32_t RTP_SEQ_MOD = 1u << 16;
    // Every video payload of the driver (H.264, MPEG-4, JPEG) runs a 90 kHz clock.
    static constexpr uint32_t VIDEO_CLOCK_RATE = 90000;
    static constexpr int32_t MAX_CUMULATIVE_LOST = 0x7FFFFF;
    static constexpr int32_t MIN_CUMULATIVE_LOST = -0x800000;

    // The first packet starts the source on probation (init_seq), every one runs update_seq.
    void OnSequence(uint16_t sequence);
    // OnSequence, then the jitter estimate of A.8 from the packet's RTP time
    // and its arrival (any monotonic nanoseconds).
    void OnPacket(uint16_t sequence, uint32_t rtpTimestamp, uint64_t arrivalNs);
    // Cycles in the high 16 bits, the highest sequence number in the low 16.
    uint32_t GetExtendedHighestSequence() const { return cycles + maxSeq; }
    // The figures of a report now; the loss fraction covers the packets since the last call (A.3).
    RTPReceptionFigures TakeReportFigures();

    bool firstPacketSeen = false;
    uint16_t maxSeq = 0;
    uint32_t cycles = 0;
    uint32_t baseSeq = 0;
    uint32_t badSeq = 0;
    uint32_t probation = 0;
    uint32_t received = 0;
    uint32_t expectedPrior = 0;
    uint32_t receivedPrior = 0;
    uint32_t clockRate = VIDEO_CLOCK_RATE;
    // A.8: the transit time of the last packet and the jitter times 16.
    bool transitSeen = false;
    uint64_t firstArrivalNs = 0;
    uint32_t transit = 0;
    uint32_t scaledJitter = 0;

private:
    void InitSequence(uint16_t sequence);
    bool UpdateSequence(uint16_t sequence);
};

// What one receiver report says about the sender.
struct RTCPReportState {
    std::array<uint8_t, 4> ownSsrc{};
    std::array<uint8_t, 4> senderSsrc{};
    uint32_t lastSenderReport = 0;   // LSR: middle 32 bits of the SR's NTP time
    uint64_t senderReportArrivalMs = 0;
    RTPReceptionFigures reception;
};

class CRTCPHandler : public IRTPClientUser, private CBaseThread {
public:
    static constexpr uint8_t PACKET_SENDER_REPORT = 200;
    static constexpr uint8_t PACKET_RECEIVER_REPORT = 201;
    static constexpr uint8_t PACKET_BYE = 203;
    static constexpr size_t RECEIVER_REPORT_BYTES = 32;
    static constexpr size_t BYE_BYTES = 8;
    static constexpr uint32_t REPORT_INTERVAL_MS = 10000;
    static constexpr uint32_t DATAGRAM_BUFFER_BYTES = 1536;
    static constexpr uint32_t SELECT_TIMEOUT_MS = 2000;
    static constexpr uint32_t STOP_WAIT_MS = 5005;

    CRTCPHandler();
    ~CRTCPHandler() override;

    // cameraAddress: IPv4 in network order; 0 fails.
    bool Open(uint32_t cameraAddress, uint16_t port);
    bool OpenMulticast(uint32_t cameraAddress, const std::string& groupAddress, uint16_t port);
    void Close();
    void SetUser(IRTCPHandlerUser* user) { m_user = user; }
    uint16_t GetLocalPort() const;
    // Every RTP packet of the stream: its sequence number, RTP time and arrival.
    void OnPacket(uint16_t sequenceNumber, uint32_t rtpTimestamp, uint64_t arrivalNs);

    void OnData(IRTPClient* client, const sockaddr_in& fromAddress, std::span<const uint8_t> data) override;
    void OnReceiveTimeout(IRTPClient*) override {}
    void OnClosed(IRTPClient*) override {}

    // The 32-byte report; DLSR is the time since the SR in 1/65536 s.
    static std::array<uint8_t, RECEIVER_REPORT_BYTES> BuildReceiverReport(const RTCPReportState& state,
                                                                          uint64_t nowMs);
    static std::array<uint8_t, BYE_BYTES> BuildBye(const std::array<uint8_t, 4>& ownSsrc);
    // Milliseconds of a monotonic clock (the multimedia timer of old).
    static uint64_t NowMs();

private:
    template <class OpenClient>
    bool OpenWith(uint32_t cameraAddress, OpenClient openClient);
    void ResetReportState();
    void OnSenderReport(const sockaddr_in& fromAddress, std::span<const uint8_t> body);
    void SendReceiverReport();
    void Run() override;

    mutable std::mutex m_lock; // report state and statistics
    std::unique_ptr<CUDPClient> m_client;
    uint32_t m_cameraAddress = 0;
    RTCPReportState m_report;
    RTPSequenceStatistics m_statistics;
    bool m_srSeen = false;
    sockaddr_in m_senderAddress{};
    std::atomic<IRTCPHandlerUser*> m_user{nullptr};
    CManualEvent m_srReceived;
};

} // namespace talvex

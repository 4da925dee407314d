// One RTP (and RTCP) user for tests: records the sequence number of every
// packet it is given, counts receive time-outs and BYEs, and lets a test wait
// for any of them. OnPacket runs on the packet path after each packet.
#pragma once

#include "streaming/CRTCPHandler.h"
#include "streaming/CRTPReceiver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <functional>
#include <vector>

namespace talvex::test {

class RtpPacketRecorder : public IRTPReceiverUser, public IRTCPHandlerUser {
public:
    void OnRTPPacket(const sockaddr_in& from, const CRTPPacket& packet) override {
        if (keep && !keep(from, packet))
            return;
        size_t count;
        {
            std::lock_guard lock(m_mutex);
            m_sequences.push_back(packet.GetSequenceNumber());
            count = m_sequences.size();
            m_changed.notify_all();
        }
        OnPacket(count);
    }
    void OnReceiveTimeout() override { Bump(timeouts); }
    void OnClosed() override {}
    void OnPeerBye() override { Bump(byes); }
    virtual void OnPacket(size_t /*count*/) {}

    template <class Condition>
    bool WaitFor(Condition condition, std::chrono::milliseconds within = std::chrono::milliseconds(5000)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, within, [&] { return condition(); });
    }
    bool WaitForPackets(size_t count) { return WaitFor([&] { return m_sequences.size() >= count; }); }
    bool WaitForTimeouts(int count) { return WaitFor([&] { return timeouts >= count; }); }

    std::vector<uint16_t> Sequences() {
        std::lock_guard lock(m_mutex);
        return m_sequences;
    }
    size_t Packets() {
        std::lock_guard lock(m_mutex);
        return m_sequences.size();
    }

    // Which packets are recorded (all when empty); set before the first packet.
    std::function<bool(const sockaddr_in& from, const CRTPPacket&)> keep;
    std::atomic<int> timeouts{0};
    std::atomic<int> byes{0};

private:
    void Bump(std::atomic<int>& counter) {
        std::lock_guard lock(m_mutex);
        ++counter;
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint16_t> m_sequences;
};

} // namespace talvex::test

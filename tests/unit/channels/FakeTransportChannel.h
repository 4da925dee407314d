// A channel whose transport is a switch, for tests of the channel worker.
#pragma once

#include "support/FakeChannelHost.h"
#include "channels/CBaseRTPChannel.h"
#include "video/FrameTypes.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

namespace talvex::test {

// The camera answers or not, and frames come when the test delivers them, as a
// depacketiser would.
class FakeTransportChannel : public CBaseRTPChannel {
public:
    FakeTransportChannel(IDriver* driver, ipcapture::IVideoChannelCallback* sink)
        : CBaseRTPChannel(0, driver, sink, 0) {}
    ~FakeTransportChannel() override { StopThread(); }

    void SetChannelOption(uint32_t) override {}

    bool SendFrame(uint32_t type = kTypeH264KeyFrame, uint16_t width = 320, uint16_t height = 240) {
        FakeVideoFrame frame(type, 16);
        frame.SetDataSize(16);
        frame.SetPictureFormat(width, height, 2);
        frame.SetTypeCode(type);
        return DeliverFrame(&frame);
    }
    std::vector<SteadyTime> ConnectAttempts() {
        std::lock_guard lock(m_mutex);
        return m_attempts;
    }
    void LoseConnection() { OnPeerBye(); }

    std::atomic<bool> reachable{true};
    std::atomic<bool> blockInSession{false};
    std::atomic<int> packets{0};
    std::atomic<int> sessionsStopped{0};
    CManualEvent interrupted;

protected:
    bool PrepareDevice() override {
        std::lock_guard lock(m_mutex);
        m_attempts.push_back(std::chrono::steady_clock::now());
        return reachable;
    }
    bool SetUpRTP() override { return true; }
    bool StartSession() override {
        // A camera that never answers: only Interrupt gets the worker out.
        if (blockInSession)
            interrupted.Wait(CEvent::kInfinite);
        return !blockInSession;
    }
    void StopSession() override { ++sessionsStopped; }
    bool KeepAlive() override { return true; }
    void Interrupt() override { interrupted.Set(); }
    void ProcessPacket(const CRTPPacket&) override { ++packets; }

private:
    std::mutex m_mutex;
    std::vector<SteadyTime> m_attempts;
};

} // namespace talvex::test

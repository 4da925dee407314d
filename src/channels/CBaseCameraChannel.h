// Keeps one live video stream of a device running: the worker thread, the
// channel state, the online/offline announcements and the hand-over of
// frames to the host. The transport (RTP, RTSP, HTTP) comes from derived
// classes, which supply the worker body and the way to break its waits.
#pragma once

#include "common/CEvent.h"
#include "common/IDriver.h"
#include "channels/ICameraChannel.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace talvex {

// Milliseconds since the last restart; restarted and read from different threads.
class CChannelTimer {
public:
    CChannelTimer() { Restart(); }
    void Restart() { m_start = Now(); }
    uint64_t ElapsedMs() const {
        const int64_t elapsed = Now() - m_start.load();
        return elapsed > 0 ? uint64_t(elapsed) : 0;
    }

private:
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::atomic<int64_t> m_start{0};
};

class CBaseCameraChannel : public ICameraChannel {
public:
    // A worker gets this long (at least) to end after a stop request, times the first time-out.
    static constexpr uint32_t kStopWaitFactor = 3;
    static constexpr uint32_t kMinimumStopBaseMs = 5000;

    CBaseCameraChannel(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink);
    // Derived classes stop the worker in their own destructors (it runs their code).
    ~CBaseCameraChannel() override;
    CBaseCameraChannel(const CBaseCameraChannel&) = delete;
    CBaseCameraChannel& operator=(const CBaseCameraChannel&) = delete;

    // IEdgeMonitorChannel
    uint32_t GetChannel() const override { return m_channelIndex; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return m_frameSink; }
    void SetEdgeMonitor(IEdgeStorageCallback* callback) override { m_edgeMonitor = callback; }

    // ICameraChannel
    void SetPictureSize(uint16_t width, uint16_t height) override;
    bool Start(const ChannelStartParameters& parameters) override;
    void Stop() override;
    bool Restart(const ChannelStartParameters& parameters) override;
    bool Suspend() override;
    bool Resume() override;
    uint32_t GetState() override;
    std::pair<uint16_t, uint16_t> GetPictureSize() override;

    // "Camera 10.1.1.9 (Live)" or, on a multi-channel video server,
    // "Video-server 10.1.1.9 (channel 1, Live)".
    std::string GetChannelName() const;
    // "Recording stream of device 10.0.0.5:80": how start failures name the stream.
    std::string StreamTitle() const;

protected:
    virtual void Run() = 0;
    // Tells the edge monitor the frame's time.
    virtual void Notify_SendFrameCallback(ipcapture::IVideoFrame* frame);
    // Breaks a blocking call of the worker so that it sees the stop event.
    virtual void Interrupt() = 0;

    void SetState(uint32_t state);
    // Logs a change of the online flag with the line that fits the state.
    void SetCameraState(bool online);
    // Tells the host and the edge monitor that the signal was lost.
    void NotifySignalLost();
    // The host's part of frame delivery: the key-frame size is kept, a
    // suspended channel drops the frame, otherwise the host's sink takes it.
    // False when the host refused the frame.
    bool HandOverFrame(ipcapture::IVideoFrame* frame);
    // Ends the worker within its limit (state 4 and a log line when it does not).
    void StopThread();

    bool IsStopping() { return m_stopEvent.Wait(0); }
    bool IsSuspended() const { return m_suspended; }
    ChannelStartParameters GetStartParameters() const;
    void SetStartParameters(const ChannelStartParameters& parameters);
    uint32_t GetStopLimitMs() const;

    IDriver* const m_driver;
    CManualEvent m_stopEvent;
    CEvent m_wakeEvent{false};
    CChannelTimer m_lastFrameTimer;

private:
    bool StartThread();
    bool IsWorkerRunning() const;
    void ThreadEntry();
    static bool IsKeyFrame(uint32_t typeCode);
    void ReleaseSockets();

    ipcapture::IVideoChannelCallback* const m_frameSink;
    const uint32_t m_channelIndex;
    std::atomic<IEdgeStorageCallback*> m_edgeMonitor{nullptr};
    std::atomic<bool> m_suspended{false};
    bool m_socketsStarted = false;

    std::mutex m_stateLock;
    uint32_t m_state = kChannelStopped;
    // Serialises announcements so that each change of the flag is logged once.
    std::mutex m_announceLock;
    bool m_online = false;

    mutable std::mutex m_sizeLock;
    uint16_t m_requestedWidth = 0;
    uint16_t m_requestedHeight = 0;
    ChannelStartParameters m_startParameters;

    std::mutex m_threadLock;
    std::thread m_thread;
    std::atomic<uint32_t> m_threadId{0};
    CManualEvent m_finishedEvent;
    std::atomic<bool> m_finished{true};
};

} // namespace talvex

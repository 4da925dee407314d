// What every motion channel shares: the worker thread, the motion frames
// handed to the host ("MEMD"), reporting only changes of the motion state,
// and the signal flag that tells whether the host still takes those frames.
// A device class supplies one pass of talking to its camera.
#pragma once

#include "common/CBaseThread.h"
#include "common/IDriver.h"
#include "events/IMotionChannel.h"

#include <talvex/ipcapture/HostObjects.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace talvex {

class CBaseMotionChannel : public IMotionChannel, protected CBaseThread {
public:
    static constexpr uint32_t kFrameType = ipcapture::MakeFourCC('M', 'E', 'M', 'D');
    static constexpr uint32_t kFrameCapacity = 1024;
    static constexpr const char* kFrameCreator = "CBaseMotionChannel";
    // The host's frame contract for motion frames: a CIF-sized picture of kind 2.
    static constexpr uint16_t kFrameWidth = 320;
    static constexpr uint16_t kFrameHeight = 240;
    static constexpr uint32_t kFrameKind = 2;
    static constexpr const char* kThreadName = "Motion Detection Thread";
    // Pause between two passes, so a lost stream is opened again after it.
    static constexpr uint32_t kRetryWaitMs = 1000;

    CBaseMotionChannel(uint32_t channel, IDriver* driver, ipcapture::IVideoChannelCallback* callback);
    ~CBaseMotionChannel() override = default;

    // IEdgeMonitorChannel
    uint32_t GetChannel() const override { return m_channel; }
    ipcapture::IVideoChannelCallback* GetCallback() const override { return m_callback; }
    void SetEdgeMonitor(IEdgeStorageCallback* monitor) override { m_edgeMonitor = monitor; }

    // IMotionChannel
    bool Start() override;
    void Stop() override;
    bool IsSignalOk() const override { return m_signalOk; }

protected:
    // One pass with the camera: switch alarm data on, read the alarm stream
    // until it ends or a stop is asked for.
    virtual void ThreadFunction() = 0;
    // The worker's view of the device class's full name, for the error line.
    virtual const char* ThreadFunctionName() const = 0;

    // A record's motion state: a frame only for a change, two frames (an
    // edge) for the first state after a start or a loss.
    void ReportMotion(bool motion);
    // Turns the signal off when the host took no frame for the device's
    // second time-out.
    void CheckSignal();
    void SetSignal(bool ok);
    bool StopRequested() { return GetStopEvent().Wait(0); }

    IDriver* const m_driver;

private:
    void Run() override;
    // A step of the worker; what it throws (a camera answer or a host
    // callback) is logged and the worker goes on.
    void RunGuarded(const std::function<void()>& step);
    void CaptureMotionFrameCallback(bool motion);

    using Clock = std::chrono::steady_clock;

    const uint32_t m_channel;
    ipcapture::IVideoChannelCallback* const m_callback;
    std::atomic<IEdgeStorageCallback*> m_edgeMonitor{nullptr};
    std::atomic<bool> m_signalOk{false};
    // Worker only: the loss check and every frame run on the worker thread.
    Clock::time_point m_lastFrameTaken;
    bool m_lastMotion = false;
    bool m_stateReported = false;
};

} // namespace talvex

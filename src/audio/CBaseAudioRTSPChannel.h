// An audio input channel fed by the audio track of the camera's RTSP
// session: status as the host sees it, the RTSP client and its keep-alive,
// start and stop of the worker, and the audio signal announcements.
#pragma once

#include "audio/CAudioChannelStatus.h"
#include "audio/IAudioInputChannel.h"
#include "common/CLoggerInstance.h"
#include "streaming/CBaseRTPDataChannel.h"
#include "streaming/CBaseRTSPClient.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace talvex {

class CBaseAudioRTSPChannel : public CBaseRTPDataChannel, public IAudioInputChannel {
public:
    static constexpr const char* kThreadName = "Audio RTSP Channel";
    static constexpr uint32_t kStopWaitFactor = 2;

    CBaseAudioRTSPChannel(IDriver* driver, uint32_t channel, uint32_t id, ipcapture::IAudioCaptureCallback* callback);
    ~CBaseAudioRTSPChannel() override;

    // IAudioInputChannel
    bool StartChannel() override;
    bool StopChannel() override;
    uint32_t GetStatus() override { return m_status.Get(); }

protected:
    void SetStatus(uint32_t status) { m_status.Set(status); }
    // Logs a change of the audio signal once.
    void SetDeviceState(bool ok);
    bool IsStopRequested() { return GetStopEvent().Wait(0); }

    // Connects and sends DESCRIBE, SETUP, PLAY of the audio track; status 5
    // when anything failed (and no stop came).
    bool StartRtspSession(uint16_t rtspPort, uint32_t transportMode);
    // TEARDOWN when connected, then disconnect.
    void CloseRtspSession();
    // GET_PARAMETER once two thirds of the session's keep-alive interval passed.
    void KeepAliveCheck();

    ipcapture::IAudioCaptureCallback* GetCallback() const { return m_callback; }

private:
    // Ends the worker of the current run and gives its sockets back.
    void StopRun();
    RTSPSessionParams BuildSessionParams(uint16_t rtspPort) const;
    bool Request(uint32_t kind);
    std::string DeviceText() const;
    // The cause of a failed session start, logged once until a start succeeds.
    void LogSessionFailure(const std::string& cause);
    bool HasAudioTrack() const;

    CLoggerInstance m_logger;
    CAudioChannelStatus m_status;
    std::mutex m_startStopLock;
    bool m_socketsStarted = false; // under m_startStopLock
    const uint32_t m_id;
    const uint32_t m_channel;
    // Requests come from the worker and, in interleaved mode, from the frame
    // path inside PLAY; a stop from the host's thread only disconnects.
    std::recursive_mutex m_requestLock;
    CBaseRTSPClient m_rtspClient;
    std::atomic<uint64_t> m_keepAliveMs{0};
    ipcapture::IAudioCaptureCallback* const m_callback;
    std::mutex m_deviceStateLock;
    bool m_signalOk = false;
};

} // namespace talvex

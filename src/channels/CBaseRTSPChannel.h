// An RTP channel whose session is opened over RTSP: DESCRIBE, SETUP, PLAY,
// GET_PARAMETER as keep-alive, TEARDOWN, and the pause of a suspended stream.
#pragma once

#include "streaming/CBaseRTSPClient.h"
#include "channels/CBaseRTPChannel.h"

#include <mutex>

namespace talvex {

class CBaseRTSPChannel : public CBaseRTPChannel {
public:
    CBaseRTSPChannel(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
                     uint32_t transportMode);
    ~CBaseRTSPChannel() override;

protected:
    bool StartSession() override;
    void StopSession() override;
    bool KeepAlive() override;
    void KeepAliveTick() override;
    void Interrupt() override;
    void BeforeFrameDelivery() override;
    void AfterFrameDelivery() override;
    bool WorkerKeepsAlive() const override;

    // The session parameters every channel shares; FillSessionParams adds the rest.
    RTSPSessionParams BuildSessionParams();
    virtual void FillSessionParams(RTSPSessionParams& params) = 0;
    // Hands the decoder configuration of the description to the depacketiser.
    virtual void OnDescription() = 0;
    // False (with the start failure told) when the description cannot feed this channel.
    virtual bool AcceptsDescription() { return true; }
    virtual bool Play();
    virtual bool Pause();

    // One request; a camera that still answers 401 after the scheme retry fails it.
    bool Request(uint32_t kind);
    // Connects with the channel as packet receiver.
    bool ConnectClient(const RTSPSessionParams& params);
    // PLAY; in interleaved mode it returns when the stream ends, which counts
    // as a lost connection for the worker.
    bool RequestPlay();
    void CloseSession();
    // Tells the client's cause of a failed session step as the start failure; false.
    bool FailSession(const char* fallback);
    // Pauses (wantPaused) or resumes the stream to follow the suspended flag.
    void SyncPause(bool wantPaused);

    CBaseRTSPClient m_rtspClient;
    // Requests come from the worker and from the packet path (pause, keep-alive
    // in interleaved mode); the client itself holds no lock.
    std::recursive_mutex m_requestLock;
    std::atomic<bool> m_rtspPaused{false};
};

} // namespace talvex

// Audio input of a generation 7 camera in "fullsize" mode: the body of
// "GET /audio" is one continuous audio stream, cut into frames by CAudioParser.
#pragma once

#include "audio/CAudioChannelStatus.h"
#include "audio/CAudioInputSettings.h"
#include "audio/CAudioParser.h"
#include "audio/IAudioInputChannel.h"
#include "audio/IAudioParserCallback.h"
#include "common/CBaseThread.h"
#include "common/CLoggerInstance.h"
#include "http/CHttpSender.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <mutex>

namespace talvex {

class CAudioCaptureHTTPChannel : public CBaseThread,
                                 public IAudioInputChannel,
                                 public IAudioParserCallback {
public:
    static constexpr const char* kThreadName = "Sony Audio Capture HTTP Channel";
    static constexpr uint32_t kStopWaitFactor = 2;
    static constexpr uint32_t kMinimumStopWaitMs = 7777;
    static constexpr uint32_t kReadChunkBytes = 4096;

    // context: the host's value, not needed by this channel.
    CAudioCaptureHTTPChannel(IDriver* driver, uint32_t channel, uint32_t id,
                             ipcapture::IAudioCaptureCallback* callback, void* context);
    ~CAudioCaptureHTTPChannel() override;

    // IAudioInputChannel
    bool StartChannel() override;
    bool StopChannel() override;
    uint32_t GetStatus() override { return m_status.Get(); }

    // IAudioParserCallback
    bool OnAudioFrame(ipcapture::IAudioFrame* frame) override;

protected:
    void Run() override;

private:
    bool ConnectToAudioDevice();
    // True when the stream ended because of a stop.
    bool ReceiveAudioData();
    bool IsStopRequested() { return GetStopEvent().Wait(0); }

    IDriver* m_driver;
    ipcapture::IAudioCaptureCallback* const m_callback;
    const uint32_t m_id;
    CLoggerInstance m_logger;
    CAudioChannelStatus m_status;
    CAudioInputSettings m_settings;
    Web::CHttpSender m_sender;
    std::mutex m_lock;
};

} // namespace talvex

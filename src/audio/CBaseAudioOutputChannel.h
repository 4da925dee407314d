// An audio output channel: a queue-fed worker that prepares the camera once,
// then hands the host's frames to the camera, moving to signal lost on a
// failure and retrying the preparation every refresh interval until it
// succeeds. The camera side (preparation, upload) is the derived class's.
#pragma once

#include "audio/AudioFormat.h"
#include "audio/CAudioChannelStatus.h"
#include "audio/CAudioItem.h"
#include "audio/IAudioOutputChannel.h"
#include "common/CQueueThread.h"
#include "common/CRecursiveLock.h"
#include "common/IDriver.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <atomic>
#include <mutex>

namespace talvex {

class CBaseAudioOutputChannel : public CQueueThread<CAudioItem>, public IAudioOutputChannel {
public:
    static constexpr const char* kThreadName = "Base Audio Output Channel";
    static constexpr uint32_t kRefreshWaitMs = 1500;
    static constexpr uint32_t kStopWaitMs = 5000;

    CBaseAudioOutputChannel(IDriver* driver, uint32_t channel, uint32_t id, ipcapture::IAudioSenderCallback* callback,
                            ipcapture::IAudioFormatList* formats, uint32_t refreshWaitMs = kRefreshWaitMs);

    // IAudioOutputChannel
    bool StartChannel() override;
    bool StopChannel() override;
    uint32_t GetStatus() override { return m_status.Get(); }
    bool GetAudioFormat(ipcapture::IAudioFormat* format) override;
    // Refused (false, the frame stays with the caller) when stopping, without
    // a host allocator, for an empty frame or one whose codec, rate, stereo
    // flag or bit rate differ from the channel's format.
    bool SendAudioFrame(ipcapture::IAudioFrame* frame) override;

protected:
    void ProcessItem(CAudioItem* item) override;

    // Reads the configuration and chooses the channel's format (SetFormat).
    virtual void SelectFormat() = 0;
    // Switches the camera's audio output on; false when it cannot.
    virtual bool InitializeAudioDevice() = 0;
    // False when the frame did not go out.
    virtual bool SendAudioFrameToDevice(ipcapture::IAudioFrame* frame) = 0;
    // Any thread: ends a blocked upload.
    virtual void CloseUpload() = 0;

    void SetFormat(const AudioFormat& format);
    AudioFormat GetFormat();
    bool IsStopRequested() { return GetStopEvent().Wait(0); }
    IDriver* GetDriver() const { return m_driver; }

private:
    void Prepare();
    void SendData(ipcapture::IAudioFrame* frame);
    void Refresh();
    // Status 5 and one refresh item (never more than one waits in the queue).
    void LoseSignal();
    bool HasMatchingHostFormat(uint32_t fourcc);

    IDriver* const m_driver;
    const uint32_t m_id;
    ipcapture::IAudioSenderCallback* const m_callback;
    ipcapture::IAudioFormatList* const m_formats;
    const uint32_t m_refreshWaitMs;
    // Covers start and stop of the worker (held while it is joined).
    CRecursiveLock m_lock;
    CAudioChannelStatus m_status;
    // Apart from m_lock: the worker chooses the format while a stop may hold m_lock.
    std::mutex m_formatLock;
    AudioFormat m_format;
    std::atomic<bool> m_refreshQueued{false};
};

} // namespace talvex

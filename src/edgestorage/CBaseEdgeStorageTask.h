// The bookkeeping every edge storage task shares: the interval being fetched,
// the point reached (time of the last frame passed on), and the frame filter
// that lets through only frames of the interval, in order, from a key frame on.
#pragma once

#include "common/CEvent.h"
#include "common/IDriver.h"
#include "edgestorage/IEdgeStorageTask.h"
#include "edgestorage/IEdgeStorageTaskUser.h"
#include "video/CTimeStampConverter.h"
#include "video/IMediaParserClient.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace talvex {

class CBaseEdgeStorageTask : public IEdgeStorageTask, public IMediaParserClient {
public:
    CBaseEdgeStorageTask(IEdgeStorageTaskUser& user, IDriver* driver);

    // IEdgeStorageTask
    void Start(uint32_t channel, uint64_t begin, uint64_t end) override;
    void StopChannel(uint32_t channel) override;
    void Abort() override;
    bool IsAvailable() override { return true; }

    // IMediaParserClient: the frame filter. Frames not newer than the point
    // reached are ignored; frames before the replay's first key frame are
    // dropped; the first frame after the interval end finishes it and is not
    // passed on; the rest go to the user, and move the point reached when taken.
    bool DeliverFrame(ipcapture::IVideoFrame* frame) override;
    void GetConfiguredSize(uint16_t& width, uint16_t& height) override;
    void GetDeviceName(std::string& text) override;
    void ConvertTimestamp(uint32_t rtpTimestamp, CTime& time) override;

    uint64_t GetProgress();
    uint32_t GetFrameCount() const { return m_frameCount; }

protected:
    // One replay begins at replayStart (the first RTP timestamp's time): the
    // key-frame wait, the frame count and the last-frame timer start over.
    void BeginReplay(uint64_t replayStart);
    // Each packet of the replay: the first one's RTP timestamp stands for the
    // replay's start, even when its frame is not a key frame and is dropped
    // before its time is ever asked for.
    void AnchorReplayTime(uint32_t rtpTimestamp);
    // A monotonic clock in milliseconds.
    static uint64_t NowMs();
    // The silence before the first frame is counted from now.
    void RestartSilenceTimer() { m_lastFrameMs = NowMs(); }
    // Milliseconds since the last frame the user did not refuse (or the replay began).
    uint64_t MsSinceLastFrame() const;
    bool IsStopping() { return m_stopEvent.Wait(0); }
    uint32_t GetChannel() const { return m_channel; }
    uint64_t GetEnd() const { return m_end; }
    // What a derived task does on Start and on Abort.
    virtual void OnStart() {}
    virtual void OnAbort() {}

    IEdgeStorageTaskUser& m_user;
    IDriver* const m_driver;
    CManualEvent m_finishedEvent;
    CManualEvent m_stopEvent;

private:
    bool FilterFrame(ipcapture::IVideoFrame* frame);
    void SetProgress(uint64_t time);
    static bool IsKeyFrame(uint32_t typeCode);


    std::atomic<uint32_t> m_channel{0};
    std::atomic<uint64_t> m_end{0};
    std::mutex m_progressLock;
    uint64_t m_progress = 0;
    // The fields below belong to the thread that delivers the frames of a
    // replay (the RTP receiver's), and to the task's thread between replays.
    bool m_waitForKeyFrame = true;
    bool m_refused = false; // the host refused the frame being filtered
    std::atomic<uint32_t> m_frameCount{0};
    std::atomic<uint64_t> m_lastFrameMs{0};
    std::mutex m_converterLock;
    CTimeStampConverter m_converter;
};

} // namespace talvex

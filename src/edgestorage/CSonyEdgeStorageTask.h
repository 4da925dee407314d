// Fetches one missed interval of one channel from a Sony camera's own
// storage: searches the recordings that overlap the interval, replays each
// over RTSP from the point already reached, and passes every recorded frame
// of the interval to the handler.
#pragma once

#include "common/CLoggerInstance.h"
#include "edgestorage/CBaseRTSPEdgeStorageTask.h"
#include "edgestorage/CSonySearchResultParser.h"
#include "http/CHttpSender.h"

#include <set>
#include <string>
#include <vector>

namespace talvex {

class CSonyEdgeStorageTask : public CBaseRTSPEdgeStorageTask {
public:
    // Further attempts at starting a replay, and the pause before each.
    static constexpr int kStartRetries = 7;
    static constexpr uint32_t kRetryPauseMs = 3000;
    static constexpr uint32_t kReplayWaitMs = 1000;
    static constexpr uint16_t kDefaultRtspPort = 554;
    // Generation 5 replays a recording as "/media/<name>", every other one as "/stream?name=<name>".
    static constexpr uint32_t kMediaPathGeneration = 5;
    // A replay that ends (camera's BYE or silence) with its last frame this
    // close to a recording's end has given all of that recording.
    static constexpr uint64_t kRecordingEndToleranceMs = 1000;
    // After the camera's BYE, packets still on their way (the RTCP BYE may
    // overtake the last RTP packets) are taken until the stream has been quiet
    // this long, for at most kByeDrainLimitMs.
    static constexpr uint64_t kByeQuietMs = 300;
    static constexpr uint64_t kByeDrainLimitMs = 2000;
    static constexpr uint32_t kByeDrainStepMs = 50;

    CSonyEdgeStorageTask(IEdgeStorageTaskUser& user, IDriver* driver);
    ~CSonyEdgeStorageTask() override;

    // Searches and replays from progress on (ProcessRecordedVideo).
    bool Process(uint64_t& progress) override;

    static std::string SearchPath(uint64_t from, uint64_t to);
    static std::string ReplayPath(uint32_t generation, const std::string& streamName);

protected:
    void OnStart() override;
    void OnAbort() override;

private:
    // The body of a GET (empty for 204); false, logged, on any failure.
    bool RequestGet(const std::string& path, std::string& body);
    bool Search(uint64_t from, uint64_t to, std::vector<SonyRecording>& entries);
    // Replays one recording from progress on; true when it was given whole.
    bool ReceiveRecordedVideoStream(const SonyRecording& entry, uint64_t& progress);
    bool StartRTSP(uint64_t replayStart);
    // The RTSP port the camera names, or the default one.
    uint16_t GetRtspPort();
    bool SdpInfoReceived(const SDPMediaRecord& video);
    // Waits out the replay; true when it reached its end. eventId: the wait
    // that ended it (-1 a time-out).
    bool WaitForReplayEnd(const SonyRecording& entry, uint64_t replayEnd, int& eventId);
    bool KeepAliveIfDue();
    // Lets the frames sent before the camera's BYE arrive.
    void DrainAfterBye();
    bool ReachedRecordingEnd(const SonyRecording& entry, uint64_t replayEnd);
    void LogReplayStart(const SonyRecording& entry, uint64_t replayStart);
    void LogReplayEnd(const SonyRecording& entry, bool complete);
    std::string ProgressText();

    Web::CHttpSender m_http;
    CLoggerInstance m_failureLog;
    std::set<std::string> m_replayed;
    std::string m_replayPath;
    uint64_t m_lastKeepAliveMs = 0;
};

} // namespace talvex

// Audio output to a Sony camera: "AudioOut=on" (and the volume) once, then
// the host's frames as the body of long "POST /audio-out/<codec>.cgi"
// uploads, one upload per budget of nearly ten million bytes.
#pragma once

#include "audio/CBaseAudioOutputChannel.h"
#include "common/CLoggerInstance.h"
#include "common/CTime.h"
#include "http/CHttpSender.h"

#include <string>

namespace talvex {

class CAudioOutputChannel : public CBaseAudioOutputChannel {
public:
    // Largest body of one upload, before the first frame's bytes.
    static constexpr uint32_t kMaxUploadBudget = 9999999;
    // Upload failures are told at most this often.
    static constexpr uint64_t kFailureMessageIntervalMs = 900000;

    CAudioOutputChannel(IDriver* driver, uint32_t channel, uint32_t id, ipcapture::IAudioSenderCallback* callback,
                        ipcapture::IAudioFormatList* formats);
    ~CAudioOutputChannel() override;

    // The largest multiple of frameSize not above kMaxUploadBudget (0 for 0).
    static uint32_t UploadBudget(uint32_t frameSize);

protected:
    void SelectFormat() override;
    bool InitializeAudioDevice() override;
    bool SendAudioFrameToDevice(ipcapture::IAudioFrame* frame) override;
    void CloseUpload() override;

private:
    // The camera's answer, or the message text of the failing step.
    bool RequestCamera(const std::string& path, std::string& answer);
    void LogInitializeFailure(const std::string& text);
    bool WriteToOpenUpload(const std::vector<uint8_t>& bytes);
    bool OpenUpload(const std::vector<uint8_t>& firstBytes);
    // Waits the first time-out after a failure; false when a stop came.
    bool WaitAfterFailure();
    // True at most once per kFailureMessageIntervalMs.
    bool FailureMessageDue();

    Web::CHttpSender m_sender;
    CLoggerInstance m_logger;
    std::string m_codecName;
    uint32_t m_budget = 0;
    bool m_uploadOpen = false;
    CTime m_lastFailureMessage;
};

} // namespace talvex

#include "audio/CAudioOutputChannel.h"

#include "audio/AudioCameraCommands.h"
#include "common/ConfigFile.h"
#include "http/HUtils.h"

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kOutputCodecsParameter = 10;
constexpr const char* kInitialize = "talvex::CAudioOutputChannel::InitializeAudioDevice";
constexpr const char* kSend = "talvex::CAudioOutputChannel::SendAudioFrameToDevice";
constexpr const char* kInquiryPath = "/command/inquiry.cgi?inq=camera";
constexpr const char* kCommandPath = "/command/camera.cgi?";

AUDIO_CONFIG ReadConfig(IDriver& driver) {
    return ReadAudioConfig(driver.GetDriverName(), driver.GetHostDirectory(), *driver.GetDeviceInfo());
}

AudioCodecChoice SelectOutputCodec(IDriver& driver, const AUDIO_CONFIG& config) {
    return SelectAudioCodec(config.outputCodec, driver.GetParameterText(kOutputCodecsParameter));
}

} // namespace

CAudioOutputChannel::CAudioOutputChannel(IDriver* driver, uint32_t channel, uint32_t id,
                                         ipcapture::IAudioSenderCallback* callback,
                                         ipcapture::IAudioFormatList* formats)
    : CBaseAudioOutputChannel(driver, channel, id, callback, formats),
      m_sender(*driver->GetDeviceInfo()),
      m_logger(driver) {
    m_sender.WatchStopEvent(&GetStopEvent());
    // The host may ask for the format before the worker has chosen it.
    const AudioCodecChoice codec = SelectOutputCodec(*driver, ReadConfig(*driver));
    m_codecName = codec.name;
    SetFormat(codec.format);
}

CAudioOutputChannel::~CAudioOutputChannel() {
    // The worker runs this class's code: it ends before the members go.
    StopChannel();
}

uint32_t CAudioOutputChannel::UploadBudget(uint32_t frameSize) {
    return frameSize ? frameSize * (kMaxUploadBudget / frameSize) : 0;
}

void CAudioOutputChannel::SelectFormat() {
    const AudioCodecChoice codec = SelectOutputCodec(*GetDriver(), ReadConfig(*GetDriver()));
    m_codecName = codec.name;
    SetFormat(codec.format);
}

bool CAudioOutputChannel::RequestCamera(const std::string& path, std::string& answer) {
    CResultDef result;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(result, m_sender, path, body, true);
    answer.assign(body.begin(), body.end());
    return result.GetDetail() == 0;
}

void CAudioOutputChannel::LogInitializeFailure(const std::string& text) {
    m_logger.Log(kErrorLevel, "%s: %s %s", kInitialize, GetDriver()->GetDeviceInfo()->address.c_str(), text.c_str());
}

bool CAudioOutputChannel::InitializeAudioDevice() {
    const AUDIO_CONFIG config = ReadConfig(*GetDriver());
    SelectFormat();
    std::string answer;
    if (!RequestCamera(kInquiryPath, answer)) {
        LogInitializeFailure(std::string("Can't get ") + kInquiryPath);
        return false;
    }
    const std::optional<std::string> command = BuildAudioOutCommand(answer, config.outputVolume);
    if (!command) {
        LogInitializeFailure("'AudioOut=' not found");
        return false;
    }
    // Cameras answer a command with 200 and often no body: only the status counts here.
    if (!command->empty() && !HUtils::RequestOk(m_sender, kCommandPath + *command)) {
        LogInitializeFailure(std::string("Can't set ") + kCommandPath + *command);
        return false;
    }
    m_logger.ResetLastMessage();
    m_lastFailureMessage = CTime();
    return true;
}

bool CAudioOutputChannel::WaitAfterFailure() {
    return !GetStopEvent().Wait(GetDriver()->GetDeviceInfo()->firstTimeoutMs);
}

bool CAudioOutputChannel::FailureMessageDue() {
    const CTime now = CTime::Now();
    if (!m_lastFailureMessage.IsEmpty() && CTime::ElapsedMs(m_lastFailureMessage, now) < kFailureMessageIntervalMs)
        return false;
    m_lastFailureMessage = now;
    return true;
}

bool CAudioOutputChannel::WriteToOpenUpload(const std::vector<uint8_t>& bytes) {
    m_budget -= uint32_t(bytes.size());
    if (m_sender.WriteData(bytes))
        return true;
    if (!WaitAfterFailure())
        return false;
    if (FailureMessageDue())
        GetDriver()->DebugMessage(kErrorLevel, "%s: Can't send audio to the device. Audio output is not working for %s",
                                  kSend, GetDriver()->GetDeviceInfo()->address.c_str());
    return false;
}

bool CAudioOutputChannel::OpenUpload(const std::vector<uint8_t>& firstBytes) {
    const uint32_t size = uint32_t(firstBytes.size());
    m_budget = UploadBudget(size);
    Web::HttpRequest request;
    request.verb = "POST";
    request.path = "/audio-out/" + m_codecName + ".cgi";
    request.headers.push_back("Connection: Close");
    request.body = firstBytes;
    request.totalLength = m_budget + size;
    m_uploadOpen = m_sender.Send(request);
    if (m_uploadOpen)
        return true;
    m_budget = 0;
    if (WaitAfterFailure() && FailureMessageDue())
        GetDriver()->DebugMessage(kErrorLevel,
                                  "%s: Can't sent request /audio-out/%s.cgi, http code %u. Audio output is not "
                                  "working for %s",
                                  kSend, m_codecName.c_str(), m_sender.GetStatusCode(),
                                  GetDriver()->GetDeviceInfo()->address.c_str());
    return false;
}

bool CAudioOutputChannel::SendAudioFrameToDevice(ipcapture::IAudioFrame* frame) {
    const uint32_t size = frame->GetDataSize();
    if (size == 0)
        return false;
    const std::vector<uint8_t> bytes(frame->GetData(), frame->GetData() + size);
    if (m_uploadOpen && m_budget >= size) {
        if (WriteToOpenUpload(bytes))
            return true;
        if (IsStopRequested())
            return false;
        // The body is incomplete: the camera will not answer it.
        m_sender.Cancel();
    } else if (m_uploadOpen && m_budget == 0) {
        // A complete body: the camera's answer ends the upload.
        m_sender.ReceiveResponse();
    } else if (m_uploadOpen) {
        // Frames of another size left the body short of its declared length;
        // the camera would wait for the rest instead of answering.
        m_sender.Cancel();
    }
    m_uploadOpen = false;
    if (IsStopRequested())
        return false;
    return OpenUpload(bytes);
}

void CAudioOutputChannel::CloseUpload() {
    m_sender.Cancel();
}

} // namespace talvex

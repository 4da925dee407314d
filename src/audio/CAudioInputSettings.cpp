#include "audio/CAudioInputSettings.h"

#include "audio/AudioCameraCommands.h"
#include "common/ConfigFile.h"
#include "common/Conversions.h"
#include "http/HUtils.h"
#include "http/InquiryValue.h"

#include <limits>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kInputCodecsParameter = 9;
constexpr const char* kInquiryPath = "/command/inquiry.cgi?inq=camera";
constexpr const char* kCommandPath = "/command/camera.cgi?";

std::optional<uint16_t> ReadRtspPort(const std::string& answer) {
    const std::string text = GetInquiryValue(answer, "RTSPPort");
    const uint32_t port = StringToUnsigned(text);
    if (port == 0 || port > std::numeric_limits<uint16_t>::max())
        return std::nullopt;
    return uint16_t(port);
}

} // namespace

CAudioInputSettings::CAudioInputSettings(IDriver* driver, std::string method, bool volumeForCameraMic)
    : m_driver(driver), m_method(std::move(method)), m_volumeForCameraMic(volumeForCameraMic), m_logger(driver) {}

bool CAudioInputSettings::Apply(Web::CHttpSender& sender) {
    const DEVICE_INFO& device = *m_driver->GetDeviceInfo();
    const AUDIO_CONFIG config = ReadAudioConfig(m_driver->GetDriverName(), m_driver->GetHostDirectory(), device);
    m_codec = SelectAudioCodec(config.inputCodec, m_driver->GetParameterText(kInputCodecsParameter));
    m_rtpMode = config.rtpMode;

    CResultDef inquiry;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(inquiry, sender, kInquiryPath, body, true);
    if (inquiry.GetDetail() != 0) {
        m_logger.Log(kErrorLevel, "%s: Can't read the audio settings of device %s: %s", m_method.c_str(),
                     device.address.c_str(), inquiry.GetMessage().c_str());
        return false;
    }
    const std::string answer(body.begin(), body.end());
    const std::optional<std::string> command = BuildAudioInCommand(
        answer, AudioInRequest{config.inputSource, config.inputVolume, m_codec.name, m_volumeForCameraMic});
    if (!command) {
        m_logger.Log(kErrorLevel, "%s: The 'AudioIn' option is not found for device %s", m_method.c_str(),
                   device.address.c_str());
        return false;
    }
    m_rtspPort = ReadRtspPort(answer);
    if (command->empty()) {
        m_logger.ResetLastMessage();
        return true;
    }
    if (!HUtils::RequestOk(sender, kCommandPath + *command)) {
        m_logger.Log(kErrorLevel, "%s: The %s device returns status code %u for \"/command/camera/cgi?%s\" URI",
                   m_method.c_str(), device.address.c_str(), sender.GetStatusCode(), command->c_str());
        return false;
    }
    m_logger.ResetLastMessage();
    return true;
}

} // namespace talvex

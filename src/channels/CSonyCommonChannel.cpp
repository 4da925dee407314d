#include "channels/CSonyCommonChannel.h"

#include "http/HUtils.h"
#include "http/InquiryValue.h"
#include "settings/MarkedFrameRate.h"

#include <vector>

namespace talvex {
namespace {

// Widest picture the H.264 and MPEG-4 encoders of the SNC-CH210 and SNC-DH210 take.
constexpr uint16_t kMaxEncoderWidth = 1920;
constexpr const char* kReducedEncoderSize = "1600,1200";
// Widest MPEG-4 picture of generation 4.
constexpr uint16_t kMaxGeneration4Mpeg4Width = 640;

bool IsLargeSensorModel(const std::string& model) {
    return model == "SNC-CH210" || model == "SNC-DH210";
}

} // namespace

CSonyCommonChannel::CSonyCommonChannel(IDriver* driver, uint32_t codecType, const CEvent& stop)
    : m_sonyDriver(driver),
      m_codecType(codecType),
      m_generation(driver->GetDeviceInfo()->generation),
      m_model(driver->GetDeviceInfo()->model),
      m_sender(*driver->GetDeviceInfo()) {
    m_sender.WatchStopEvent(&stop);
}

std::string CSonyCommonChannel::OptionPair(const std::string& current, const std::string& key,
                                           const std::string& value) {
    if (current.empty())
        return "&" + key + "=" + value;
    const std::string present = GetInquiryValue(current, key);
    // A key the camera does not report is one it does not know: nothing is sent.
    if (present.empty() || present == value)
        return std::string();
    return "&" + key + "=" + value;
}

bool CSonyCommonChannel::ReceiveDeviceConfiguration(std::string& text) {
    CResultDef result;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(result, m_sender, "/command/inquiry.cgi?inq=camera", body, false);
    if (result.GetDetail() == 0) {
        // An empty answer is a configuration the camera does not describe: every pair is sent.
        m_sender.ReadAll(body);
        text.assign(body.begin(), body.end());
        return true;
    }
    TellStartFailure("unable to receive the current video configuration: " +
                     HttpFailure("/command/inquiry.cgi?inq=camera", m_sender.GetStatusCode()));
    return false;
}

bool CSonyCommonChannel::ApplyDeviceOptions(std::string options) {
    if (!options.empty() && options.front() == '&')
        options.erase(0, 1);
    if (options.empty())
        return true;
    const std::string path = "/command/camera.cgi?" + options;
    if (HUtils::RequestOk(m_sender, path))
        return true;
    TellStartFailure("cannot set the stream parameters: " + HttpFailure(path, m_sender.GetStatusCode()));
    return false;
}

bool CSonyCommonChannel::SetVideoOutMode() {
    if (m_generation != 4 && m_model.find("SNC-RH1") == std::string::npos)
        return true;
    std::string system;
    std::string path = "/command/inquiry.cgi?inq=system";
    bool done = HUtils::RequestText(m_sender, path, system);
    if (done) {
        const std::string mode = GetInquiryValue(system, "VideoOutMode");
        path = "/command/system.cgi?VideoOutMode=ip";
        if (!mode.empty() && mode != "ip")
            done = HUtils::RequestOk(m_sender, path);
    }
    if (!done)
        TellStartFailure("unable to update the VideoOutMode parameter: " + HttpFailure(path, m_sender.GetStatusCode()));
    return done;
}

std::string CSonyCommonChannel::HttpFailure(const std::string& path, uint32_t status) {
    return "GET " + path + (status == 0 ? " got no answer" : " answered HTTP " + std::to_string(status));
}

bool CSonyCommonChannel::PrepareStreamOptions(const ChannelStartParameters& parameters) {
    std::string current;
    if (!ReceiveDeviceConfiguration(current) || !SetVideoOutMode())
        return false;
    m_numberedKeys = m_generation >= 5 && !current.empty() && !GetInquiryValue(current, "ImageCodec1").empty();
    return ApplyDeviceOptions(BuildOptions(current, parameters));
}

std::string CSonyCommonChannel::BuildOptions(const std::string& current, const ChannelStartParameters& parameters) {
    const bool lightFunnel =
        (m_generation == 4 || m_generation == 5) && GetInquiryValue(current, "LFunnelAvailable").starts_with('1');
    std::string options = ExtraOptions(current) + CodecOption(current) +
                          ImageSizeOptions(current, parameters.width, parameters.height);
    if (lightFunnel)
        options += OptionPair(current, "LightFunnelMode", "auto");
    return options + FrameRateOptions(current, parameters);
}

const char* CSonyCommonChannel::CodecValue() const {
    switch (m_codecType) {
    case kCodecJpeg:
        return "jpeg";
    case kCodecMpeg4:
        return "mpeg4";
    default:
        return "h264";
    }
}

std::string CSonyCommonChannel::CodecOption(const std::string& current) {
    if (m_generation == 1)
        return std::string(); // one codec only: nothing to choose
    return OptionPair(current, m_numberedKeys ? "ImageCodec1" : "ImageCodec", CodecValue());
}

std::string CSonyCommonChannel::ImageSizeKey() const {
    if (m_numberedKeys)
        return "ImageSize1";
    switch (m_codecType) {
    case kCodecH264:
        return "H264ImageSize";
    case kCodecMpeg4:
        return m_generation == 2 ? "ImageSize" : "M4ImageSize";
    default:
        return "ImageSize";
    }
}

std::string CSonyCommonChannel::ImageSizeValue(uint16_t width, uint16_t height) const {
    if (m_numberedKeys) {
        if (m_codecType != kCodecJpeg && width > kMaxEncoderWidth && IsLargeSensorModel(m_model))
            return kReducedEncoderSize;
        return std::to_string(width) + "," + std::to_string(height);
    }
    if (m_codecType == kCodecMpeg4 && m_generation == 4 && width > kMaxGeneration4Mpeg4Width)
        width = kMaxGeneration4Mpeg4Width;
    std::string value = std::to_string(width);
    if (m_generation == 2 || m_generation == 3)
        value += ",2";
    return value;
}

std::string CSonyCommonChannel::ImageSizeOptions(const std::string& current, uint16_t width, uint16_t height) {
    if (width == 0 || height == 0)
        return std::string();
    return OptionPair(current, ImageSizeKey(), ImageSizeValue(width, height));
}

uint32_t CSonyCommonChannel::ConfiguredFrameRate(const ChannelStartParameters& parameters) {
    return parameters.firstValue == 0 ? 0 : DecodeFrameInterval(parameters.firstValue);
}

std::string CSonyCommonChannel::FrameRateKey() const {
    if (m_numberedKeys)
        return "FrameRate1";
    switch (m_codecType) {
    case kCodecH264:
        return "H264FrameRate";
    case kCodecMpeg4:
        return "M4FrameRate";
    default:
        return "JpFrameRate";
    }
}

std::string CSonyCommonChannel::FrameRateOptions(const std::string& current,
                                                 const ChannelStartParameters& parameters) {
    const uint32_t frameRate = ConfiguredFrameRate(parameters);
    if (frameRate == 0 || parameters.width == 0 || parameters.height == 0)
        return std::string();
    return OptionPair(current, FrameRateKey(), std::to_string(frameRate));
}

} // namespace talvex

#include "channels/CSonyCommonChannel.h"

#include "http/HUtils.h"
#include "http/InquiryValue.h"
#include "settings/MarkedFrameRate.h"
#include "settings/SonyStreamRules.h"

#include <array>
#include <span>
#include <vector>

namespace talvex {
namespace {

// Widest picture the H.264 and MPEG-4 encoders of the SNC-CH210 and SNC-DH210 take.
constexpr uint16_t kMaxEncoderWidth = 1920;
constexpr const char* kReducedEncoderSize = "1600,1200";
// Widest MPEG-4 picture of generation 4.
constexpr uint16_t kMaxGeneration4Mpeg4Width = 640;

// The bit rates (kbit/s) each key style takes.
constexpr std::array<uint32_t, 15> kNumberedBitRates = {64,   128,  256,  384,  512,  768,  1024, 1536,
                                                        2048, 3072, 4096, 5120, 6144, 7168, 8192};
constexpr std::array<uint32_t, 9> kH264BitRates = {32, 64, 128, 256, 384, 512, 768, 1024, 1536};
constexpr std::array<uint32_t, 9> kMpeg4BitRates = {64, 128, 256, 384, 512, 768, 1024, 1536, 2048};
// Frame interval of one frame per second: the key frame comes every second frame, not every frame.
constexpr uint32_t kOneFramePerSecondInterval = 1000;
// JPEG quality steps of the cameras.
constexpr uint32_t kJpegQualityLow = 1;
constexpr uint32_t kJpegQualityHigh = 10;
// The JPEG stream's size is set by its quality: no bandwidth cap.
constexpr const char* kUncappedBandwidth = "0.0";
// Cameras of generation 3 and later name their JPEG quality "JpQuality", older ones "Quality".
constexpr uint32_t kJpKeysGeneration = 3;

uint32_t Nearest(std::span<const uint32_t> allowed, uint32_t wanted) {
    uint32_t best = allowed.front();
    for (uint32_t value : allowed)
        if ((value > wanted ? value - wanted : wanted - value) < (best > wanted ? best - wanted : wanted - best))
            best = value;
    return best;
}

// The allowed bit rate nearest to wanted, by key style.
uint32_t AllowedBitRate(uint32_t codecType, bool numberedKeys, uint32_t wanted) {
    if (numberedKeys)
        return Nearest(kNumberedBitRates, wanted);
    return codecType == kCodecMpeg4 ? Nearest(kMpeg4BitRates, wanted) : Nearest(kH264BitRates, wanted);
}

bool IsLargeSensorModel(const std::string& model) {
    return model == "SNC-CH210" || model == "SNC-DH210";
}

} // namespace

CSonyCommonChannel::CSonyCommonChannel(IDriver* driver, uint32_t codecType, const CEvent& stop)
    : m_sonyDriver(driver),
      m_codecType(codecType),
      m_generation(driver->GetDeviceInfo()->generation),
      m_model(driver->GetDeviceInfo()->model),
      m_sender(*driver->GetDeviceInfo()),
      m_privacy(driver, stop) {
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
    if (!m_privacy.Apply()) {
        TellStartFailure("the privacy masks were not set: the camera was not reached");
        return false;
    }
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
    return options + FrameRateOptions(current, parameters) + BitRateOptions(current, parameters);
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


std::string CSonyCommonChannel::BitRateOptions(const std::string& current, const ChannelStartParameters& parameters) {
    if (m_codecType == kCodecJpeg)
        return JpegRateOptions(current, parameters.secondValue);
    return VideoRateOptions(current, parameters);
}

std::string CSonyCommonChannel::JpegRateOptions(const std::string& current, uint32_t quality) const {
    if (quality == 0)
        return std::string();
    // The key the camera reports wins over the generation's usual one.
    const bool jpKey =
        current.empty() ? m_generation >= kJpKeysGeneration : !GetInquiryValue(current, "JpQuality").empty();
    const char* qualityKey = m_numberedKeys ? "Quality1" : jpKey ? "JpQuality" : "Quality";
    return OptionPair(current, m_numberedKeys ? "Bandwidth1" : "JpBandwidth", kUncappedBandwidth) +
           OptionPair(current, qualityKey,
                      std::to_string(SonyStreamRules::ScaleLevel(quality, kJpegQualityLow, kJpegQualityHigh)));
}

std::string CSonyCommonChannel::VideoRateOptions(const std::string& current,
                                                 const ChannelStartParameters& parameters) const {
    const bool h264 = m_codecType == kCodecH264;
    std::string options;
    if (parameters.secondValue != 0) {
        const uint32_t bitRate =
            AllowedBitRate(m_codecType, m_numberedKeys, SonyStreamRules::BitRateForQuality(parameters.secondValue));
        options = OptionPair(current, m_numberedKeys ? "AutoRateCtrl1" : h264 ? "H264AutoRateCtrl" : "M4AutoRateCtrl",
                             "off") +
                  OptionPair(current, m_numberedKeys ? "BitRate1" : h264 ? "H264BitRate" : "M4BitRate",
                             std::to_string(bitRate));
    }
    if (ConfiguredFrameRate(parameters) != 0 && parameters.width != 0 && parameters.height != 0) {
        const uint32_t keyFrameInterval = parameters.firstValue == kOneFramePerSecondInterval ? 2 : 1;
        options += OptionPair(current,
                              m_numberedKeys ? "IFrameInterval1" : h264 ? "H264IFrameInterval" : "M4IFrameInterval",
                              std::to_string(keyFrameInterval));
    }
    return options;
}

} // namespace talvex

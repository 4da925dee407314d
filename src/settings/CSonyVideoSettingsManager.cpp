#include "settings/CSonyVideoSettingsManager.h"

#include "common/Conversions.h"
#include "common/IDriver.h"
#include "common/StringFormat.h"
#include "http/InquiryValue.h"
#include "settings/MarkedFrameRate.h"

#include <algorithm>

namespace talvex {

using namespace SonyStreamRules;

namespace {

constexpr const char* kRequestGetMethod = "talvex::CSonyVideoSettingsManager::RequestGet";
constexpr const char* kCameraInquiry = "/command/inquiry.cgi?inq=camera";
constexpr const char* kCameraCgi = "/command/camera.cgi?";
constexpr const char* kCapabilityQuery = "/command/capability-video?Target=";

// Device property identifiers.
constexpr uint32_t kMaximalResolutionId = 6;
constexpr uint32_t kMinimalResolutionId = 7;
constexpr uint32_t kSupportedFrameRatesId = 8;
constexpr uint32_t kStreamResolutionsId = 12;  // 12 recording, 13 live, 14 remote
constexpr uint32_t kStreamFrameRateMapId = 15; // 15 recording, 16 live, 17 remote

constexpr uint32_t kFirstNegotiatedGeneration = 6;
constexpr uint32_t kLastG6Generation = 6;
constexpr uint32_t kUhdHeight = 2160;

// The lowered first-stream rate keeps two full-size streams within what the
// camera can encode.
constexpr uint32_t kLowestRateLoweredWithoutList = 16;
constexpr uint16_t kFrameRateRuleMinWidth = 720;
// Models whose first stream cannot encode MPEG-4 or H.264 above 1600 pixels wide.
constexpr const char* kLimitedWidthModels[] = {"SNC-CH210", "SNC-DH210"};
constexpr uint16_t kLimitedWidth = 1600;
constexpr Resolution kLimitedWidthSize{1600, 1200};
// One key frame every 2 s at 1 fps (every other frame), every second otherwise.
constexpr uint32_t kOneFramePerSecondInterval = 1000;

std::string Numbered(const char* key, uint32_t n) {
    return key + std::to_string(n);
}

} // namespace

bool CSonyVideoSettingsManager::StreamWish::IsRequested() const {
    return codecType != kStreamOff && !CodecName(codecType).empty();
}

bool CSonyVideoSettingsManager::StreamWish::IsComplete() const {
    return IsRequested() && settings.frameInterval && settings.quality && settings.width && settings.height;
}

void CSonyVideoSettingsManager::StreamWish::SetSize(Resolution size) {
    settings.width = size.width;
    settings.height = size.height;
}

CSonyVideoSettingsManager::CSonyVideoSettingsManager(IDriver* driver, uint32_t channelIndex)
    : CBaseVideoSettingsManager(driver, channelIndex),
      m_generation(driver->GetDeviceInfo()->generation),
      m_http(*driver->GetDeviceInfo()) {
    m_http.WatchStopEvent(&GetStopEvent());
    m_supportedFrameRates = ParseFrameRateList(driver->GetParameterText(kSupportedFrameRatesId));
    if (auto maximal = ParseMaximalResolution(driver->GetParameterText(kMaximalResolutionId)))
        m_maximalResolution = *maximal;
    if (m_generation > kLastG6Generation) {
        for (uint32_t i = 0; i < m_streamResolutions.size(); ++i) {
            m_streamResolutions[i] = ParseResolutionList(driver->GetParameterText(kStreamResolutionsId + i));
            m_streamFrameRateTexts[i] = ParseFrameRateMap(driver->GetParameterText(kStreamFrameRateMapId + i));
        }
    }
    StartWorker();
}

CSonyVideoSettingsManager::~CSonyVideoSettingsManager() {
    StopWorker();
}

std::string CSonyVideoSettingsManager::GetOperationMode() {
    CAutoLock lock(m_portLock);
    return m_operationMode;
}

void CSonyVideoSettingsManager::OnReset(bool keepWishes) {
    if (keepWishes)
        return;
    m_configLoaded.store(false);
    ClearLastMessage();
}

size_t CSonyVideoSettingsManager::ListIndex(uint32_t streamIndex) {
    return streamIndex == 1 || streamIndex == 2 ? streamIndex : 0;
}

bool CSonyVideoSettingsManager::RequestGet(const std::string& url, std::string& response) {
    response.clear();
    if (GetStopEvent().Wait(0) || url.empty())
        return false;
    Web::HttpRequest request;
    request.path = url;
    if (!m_http.Send(request)) {
        SetPassFailure("GET " + url + " got no answer");
        return false;
    }
    const std::string device = m_driver->GetDeviceTag();
    const uint32_t status = m_http.GetStatusCode();
    if (status != 200 && status != 204)
        SetPassFailure("GET " + url + " answered HTTP " + std::to_string(status));
    switch (status) {
    case 200: {
        std::vector<uint8_t> body;
        m_http.ReadAll(body);
        // A stop during the read leaves a cut body: not an answer to act on.
        if (GetStopEvent().Wait(0))
            return false;
        response.assign(body.begin(), body.end());
        return true;
    }
    case 204:
        return true;
    case 401:
        LogOnce(1, "%s: Device %s is unable to process \"%s\" request: credentials are invalid", kRequestGetMethod,
                device.c_str(), url.c_str());
        return false;
    case 404:
        LogOnce(1, "%s: The \"%s\" URL was not found on device %s", kRequestGetMethod, url.c_str(), device.c_str());
        return false;
    default:
        LogOnce(1, "%s: %s is unable to process \"%s\" request. HTTP status code is %u", kRequestGetMethod,
                device.c_str(), url.c_str(), status);
        return false;
    }
}

bool CSonyVideoSettingsManager::SendCameraCgi(std::string params) {
    if (params.empty())
        return true;
    if (params.front() == '&')
        params.erase(0, 1);
    std::string answer;
    return RequestGet(kCameraCgi + params, answer);
}

bool CSonyVideoSettingsManager::Synchronize(bool settingsChanged) {
    if (!m_configLoaded.load()) {
        m_channelConfig = ReadVideoConfig(m_driver->GetDriverName(), m_driver->GetHostDirectory(),
                                          *m_driver->GetDeviceInfo());
        m_configLoaded.store(true);
    }
    std::string inquiry;
    if (!RequestGet(kCameraInquiry, inquiry))
        return false;
    StoreCameraFacts(inquiry);
    if (m_generation < kFirstNegotiatedGeneration)
        return LegacyPass(settingsChanged, inquiry);
    return NegotiatedPass(settingsChanged, inquiry);
}

void CSonyVideoSettingsManager::StoreCameraFacts(const std::string& inquiry) {
    const std::string port = GetInquiryValue(inquiry, "RTSPPort");
    const std::string mode = GetInquiryValue(inquiry, "OperationMode");
    CAutoLock lock(m_portLock);
    // A port the camera writes as something else than 1..65535 is not stored.
    if (const uint32_t value = StringToUnsigned(port); value && value <= UINT16_MAX)
        SetRTSPPort(uint16_t(value));
    if (!mode.empty())
        m_operationMode = mode;
}

CSonyVideoSettingsManager::StreamWish CSonyVideoSettingsManager::StoredWish(int32_t streamIndex) {
    const CBaseVideoSettingsManager::StoredWish stored = GetStoredSettings(streamIndex);
    return {stored.settings, stored.codecType};
}

uint32_t CSonyVideoSettingsManager::StreamCount(const std::string& inquiry) const {
    return std::min(StringToUnsigned(GetInquiryValue(inquiry, "ImageCodecMaxNum")), kMaxStreams);
}

// --- Generations below 6 -------------------------------------------------

bool CSonyVideoSettingsManager::LegacyPass(bool settingsChanged, const std::string& inquiry) {
    StreamWish first = StoredWish(0);
    StreamWish second = StoredWish(1);
    StreamWish third = StoredWish(2);

    if (!first.settings.width || !first.settings.height)
        if (auto size = ParseImageSize(GetInquiryValue(inquiry, "ImageSize1")))
            first.SetSize(*size);
    if (!second.IsRequested() && third.IsComplete())
        second = third;

    std::string params;
    if (first.IsComplete()) {
        ApplyModelRule(first);
        if (second.IsComplete())
            ApplyFrameRateRule(first);
    }
    if (first.IsRequested())
        params += StreamFragment(1, first, settingsChanged, inquiry);
    if (second.settings.width && second.settings.height)
        second.SetSize(LimitSecondStream(second.Size(), first.Size()));
    if (second.IsRequested())
        params += StreamFragment(2, second, settingsChanged, inquiry);
    else if (m_channelConfig.disableSecondStream)
        AddIfDiffers(params, inquiry, "ImageCodec2", "off");
    if (third.IsComplete())
        third.SetSize(Nearest(std::set<Resolution>{first.Size(), second.Size()}, third.Size()));
    params += StreamFragment(3, third, settingsChanged, inquiry);

    for (uint32_t k = 4, count = StreamCount(inquiry); k <= count; ++k)
        AddIfDiffers(params, inquiry, Numbered("ImageCodec", k), "off");
    params += CommonOptions(inquiry);
    return SendCameraCgi(std::move(params));
}

void CSonyVideoSettingsManager::ApplyModelRule(StreamWish& first) const {
    if (first.settings.width <= kLimitedWidth || (first.codecType != kCodecMpeg4 && first.codecType != kCodecH264))
        return;
    const std::string& model = m_driver->GetDeviceInfo()->model;
    for (const char* limited : kLimitedWidthModels)
        if (model.find(limited) != std::string::npos)
            first.SetSize(kLimitedWidthSize);
}

void CSonyVideoSettingsManager::ApplyFrameRateRule(StreamWish& first) const {
    if (first.codecType != kCodecH264 || !first.settings.frameInterval ||
        first.settings.width <= kFrameRateRuleMinWidth || first.Size() != m_maximalResolution)
        return;
    const uint32_t rate = DecodeFrameInterval(first.settings.frameInterval);
    uint32_t lowered = rate;
    if (m_supportedFrameRates.empty()) {
        if (rate > kLowestRateLoweredWithoutList)
            lowered = rate - 1;
    } else if (rate == *m_supportedFrameRates.rbegin()) {
        if (m_supportedFrameRates.size() > 1)
            lowered = *std::next(m_supportedFrameRates.rbegin());
        else if (rate > 1)
            lowered = rate - 1;
    }
    if (lowered != rate)
        first.settings.frameInterval = EncodeFrameInterval(lowered, true);
}

std::string CSonyVideoSettingsManager::StreamFragment(uint32_t n, const StreamWish& wish, bool settingsChanged,
                                                      const std::string& inquiry) const {
    const std::string codecKey = Numbered("ImageCodec", n);
    std::string codecAndSize;
    if (wish.codecType == kStreamOff) {
        AddIfDiffers(codecAndSize, inquiry, codecKey, "off");
        return codecAndSize;
    }
    AddIfDiffers(codecAndSize, inquiry, codecKey, CodecName(wish.codecType));
    AddIfDiffers(codecAndSize, inquiry, Numbered("ImageSize", n), FormatImageSize(wish.Size()));

    // Stream 3 gets its fragment even without a complete wish: a quality that
    // was not given leaves the camera's quality and bit rate as they are.
    std::string rates;
    const uint32_t quality = wish.settings.quality;
    if (wish.codecType == kCodecJpeg) {
        AddIfDiffers(rates, inquiry, Numbered("Bandwidth", n), "0.0");
        if (quality)
            AddIfDiffersNumber(rates, inquiry, Numbered("Quality", n), ScaleLevel(quality, 1, 10));
    } else if (wish.codecType == kCodecMpeg4 || wish.codecType == kCodecH264) {
        const uint32_t keyFrameInterval = wish.settings.frameInterval == kOneFramePerSecondInterval ? 2 : 1;
        AddIfDiffersNumber(rates, inquiry, Numbered("IFrameInterval", n), keyFrameInterval);
        AddIfDiffers(rates, inquiry, Numbered("AutoRateCtrl", n), "off");
        if (quality)
            AddIfDiffersNumber(rates, inquiry, Numbered("BitRate", n), BitRateForQuality(quality));
    }
    if ((!codecAndSize.empty() || !rates.empty() || settingsChanged) && wish.settings.frameInterval)
        AddIfDiffersNumber(rates, inquiry, Numbered("FrameRate", n), DecodeFrameInterval(wish.settings.frameInterval));
    return codecAndSize + rates;
}

// --- Generations 6 and later ---------------------------------------------

bool CSonyVideoSettingsManager::NegotiatedPass(bool settingsChanged, const std::string& inquiry) {
    if (settingsChanged || m_options.Empty()) {
        m_options.Clear();
        m_uhdH264 = false;
        const uint32_t count = StreamCount(inquiry);
        std::vector<StreamWish> wishes(count);
        for (uint32_t i = 0; i < count && i < 3; ++i)
            wishes[i] = StoredWish(int32_t(i));

        for (uint32_t k = 1; k <= count; ++k) {
            StreamWish& wish = wishes[k - 1];
            if (!wish.IsRequested()) {
                m_options.Set(Numbered("ImageCodec", k), "off");
                continue;
            }
            if (!wish.settings.width || !wish.settings.height)
                if (auto current = ParseImageSize(GetInquiryValue(inquiry, Numbered("ImageSize", k))))
                    wish.SetSize(*current);
            // Tell the camera what the later streams will carry: what a stream
            // may offer depends on the codecs of the others.
            std::string hint;
            for (uint32_t j = k + 1; j <= count; ++j) {
                const uint32_t codec = wishes[j - 1].IsRequested() ? wishes[j - 1].codecType : kStreamOff;
                hint += m_generation > kLastG6Generation ? CodecChangeG7(j - 1, j, codec) : CodecChangeG6(j, codec);
            }
            const bool negotiated = m_generation > kLastG6Generation ? NegotiateG7(k - 1, k, wish, hint)
                                                                     : NegotiateG6(k, wish, hint);
            if (!negotiated) {
                m_options.Clear();
                return false;
            }
            if (m_generation > kLastG6Generation && !m_channelConfig.allowH264BFrame && m_uhdH264 &&
                !m_options.Has("H264BFrameEnable", "off"))
                m_options.Set("H264BFrameEnable", "off");
        }
    }
    return SendCameraCgi(m_options.ToChangeList(inquiry) + CommonOptions(inquiry));
}

std::string CSonyVideoSettingsManager::CodecChangeG6(uint32_t k, uint32_t codecType) const {
    std::string change = "&" + Numbered("ImageCodec", k) + "=";
    if (codecType == kStreamOff)
        return change + "off";
    change += CodecName(codecType);
    const std::string minimal = m_driver->GetParameterText(kMinimalResolutionId);
    if (!minimal.empty())
        change += "&" + Numbered("ImageSize", k) + "=" + minimal;
    return change + CodecDefaultsG6(k, codecType, true);
}

std::string CSonyVideoSettingsManager::CodecChangeG7(uint32_t index, uint32_t k, uint32_t codecType) const {
    std::string change = "&" + Numbered("ImageCodec", k) + "=";
    if (codecType == kStreamOff)
        return change + "off";
    change += CodecName(codecType);
    const auto& sizes = m_streamResolutions[ListIndex(index)];
    if (!sizes.empty())
        change += "&" + Numbered("ImageSize", k) + "=" +
                  FormatString("%hu,%hu", sizes.begin()->width, sizes.begin()->height);
    return change + CodecDefaultsG7(index, k, codecType, true);
}

std::string CSonyVideoSettingsManager::CodecDefaultsG6(uint32_t k, uint32_t codecType, bool withFrameRate) const {
    std::string defaults;
    if (withFrameRate && !m_supportedFrameRates.empty())
        defaults += "&" + Numbered("FrameRate", k) + "=" + std::to_string(*m_supportedFrameRates.begin());
    if (codecType == kCodecJpeg)
        defaults += "&" + Numbered("Quality", k) + "=1";
    else if (codecType == kCodecMpeg4 || codecType == kCodecH264)
        defaults += "&" + Numbered("CBR", k) + "=" +
                    (m_channelConfig.constantBitRate ? std::string("on") : "off&" + Numbered("H264Quality", k) + "=1");
    return defaults;
}

std::string CSonyVideoSettingsManager::CodecDefaultsG7(uint32_t index, uint32_t k, uint32_t codecType,
                                                       bool withFrameRate) const {
    std::string defaults;
    const auto& rates = m_streamFrameRateTexts[ListIndex(index)];
    if (withFrameRate && !rates.empty())
        defaults += "&" + Numbered("FrameRate", k) + "=" + rates.begin()->second;
    if (codecType == kCodecMpeg4 || codecType == kCodecH264)
        defaults += "&" + Numbered("CBR", k) + "=" + CbrText();
    return defaults;
}

bool CSonyVideoSettingsManager::NegotiateG6(uint32_t k, const StreamWish& wish, const std::string& hint) {
    const uint32_t codec = wish.codecType;
    m_options.Set(Numbered("ImageCodec", k), CodecName(codec));
    Resolution size;
    if (!NegotiateImageSize(k, wish, CodecDefaultsG6(k, codec, true) + hint, size))
        return false;
    if (wish.settings.frameInterval) {
        const std::string target = Numbered("FrameRate", k);
        auto tokens = Capable(target, m_options.ToCapabilityList() + CodecDefaultsG6(k, codec, false) + hint);
        if (!tokens)
            return false;
        m_options.Set(target, Nearest(CapableWholeRates(*tokens), DecodeFrameInterval(wish.settings.frameInterval)));
    }
    std::optional<uint32_t> level;
    if (wish.settings.quality && !NegotiateQuality(k, wish, hint, level))
        return false;
    if (!level)
        return true;
    if (codec == kCodecJpeg) {
        m_options.Set(Numbered("JpegQuality", k), *level);
        m_options.Set(Numbered("JpBandWidth", k), "0");
        return true;
    }
    m_options.Set(Numbered("IFrameInterval", k), "1");
    m_options.Set(Numbered("CBR", k), CbrText());
    m_options.Set(Numbered(m_channelConfig.constantBitRate ? "BitRate" : "H264Quality", k), *level);
    return true;
}

bool CSonyVideoSettingsManager::NegotiateG7(uint32_t index, uint32_t k, const StreamWish& wish,
                                            const std::string& hint) {
    const uint32_t codec = wish.codecType;
    m_options.Set(Numbered("ImageCodec", k), CodecName(codec));
    Resolution size;
    if (!NegotiateImageSize(k, wish, CodecDefaultsG7(index, k, codec, true) + hint, size))
        return false;
    if (wish.settings.frameInterval) {
        const std::string target = Numbered("FrameRate", k);
        auto tokens = Capable(target, m_options.ToCapabilityList() + CodecDefaultsG7(index, k, codec, false) + hint);
        if (!tokens)
            return false;
        const double wanted = DecodeFrameInterval(wish.settings.frameInterval);
        m_options.Set(target, Nearest(CapableRealRates(*tokens), wanted));
    }
    std::optional<uint32_t> level;
    if (wish.settings.quality && !NegotiateQuality(k, wish, hint, level))
        return false;
    if (level) {
        if (codec == kCodecJpeg) {
            m_options.Set(Numbered("JpegQuality", k), *level);
        } else {
            m_options.Set(Numbered("IFrameInterval", k), "1");
            m_options.Set(Numbered("CBR", k), CbrText());
            m_options.Set(Numbered("BitRate", k), *level);
        }
    }
    // What the camera will encode, not what was wished, decides on B-frames.
    if (codec == kCodecH264 && size.height >= kUhdHeight)
        m_uhdH264 = true;
    return true;
}

bool CSonyVideoSettingsManager::NegotiateImageSize(uint32_t k, const StreamWish& wish, const std::string& extra,
                                                   Resolution& size) {
    const std::string target = Numbered("ImageSize", k);
    auto tokens = Capable(target, m_options.ToCapabilityList() + extra);
    if (!tokens)
        return false;
    auto sizes = CapableResolutions(*tokens);
    if (!sizes) {
        LogOnce(1, "talvex::CSonyVideoSettingsManager::NegotiateImageSize: Device %s answered an odd number of "
                   "values for \"%s\"",
                m_driver->GetDeviceTag().c_str(), target.c_str());
        SetPassFailure("the capability answer for " + target + " has an odd number of values (" +
                       std::to_string(tokens->size()) + ")");
        return false;
    }
    size = Nearest(*sizes, wish.Size());
    m_options.Set(target, FormatString("%hu,%hu", size.width, size.height));
    return true;
}

bool CSonyVideoSettingsManager::NegotiateQuality(uint32_t k, const StreamWish& wish, const std::string& hint,
                                                 std::optional<uint32_t>& level) {
    const bool g7 = m_generation > kLastG6Generation;
    std::string extra = m_options.ToCapabilityList() + hint;
    std::string target;
    if (wish.codecType == kCodecJpeg) {
        target = Numbered(g7 ? "JpegQuality" : "Quality", k);
    } else {
        extra += "&" + Numbered("CBR", k) + "=" + CbrText();
        target = Numbered(m_channelConfig.constantBitRate || g7 ? "BitRate" : "H264Quality", k);
    }
    auto tokens = Capable(target, extra);
    if (!tokens)
        return false;
    auto levels = CapableLevels(*tokens, target.find("Quality") != std::string::npos);
    if (!levels) {
        const size_t count = tokens->size();
        SetPassFailure("the capability answer for " + target + " gives no usable range (" + std::to_string(count) +
                       (count == 1 ? " value" : " values") + "; a lowest and a highest are needed)");
        return false;
    }
    if (!levels->empty())
        level = Nearest(*levels, ScaleLevel(wish.settings.quality, *levels->begin(), *levels->rbegin()));
    return true;
}

std::optional<std::vector<std::string>> CSonyVideoSettingsManager::Capable(const std::string& target,
                                                                           const std::string& extra) {
    std::string answer;
    if (!RequestGet(kCapabilityQuery + target + extra, answer))
        return std::nullopt;
    auto tokens = CapableTokens(answer, target);
    if (!tokens)
        SetPassFailure("the capability answer for " + target + " has no usable Capable" + target + " value");
    return tokens;
}

} // namespace talvex

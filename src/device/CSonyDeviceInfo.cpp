#include "device/CSonyDeviceInfo.h"

#include "common/Conversions.h"
#include "http/InquiryValue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <optional>
#include <string_view>

namespace talvex {

namespace {

constexpr std::array<std::string_view, 7> kSecondGenerationModels = {
    "SNC-RZ25", "SNC-CS10", "SNC-CS11", "SNC-DF40", "SNC-DF70", "SNC-P1", "SNC-P5"};
constexpr std::array<std::string_view, 8> kThirdGenerationModels = {
    "SNC-CS50", "SNC-DF50", "SNC-DF80", "SNC-DF85", "SNC-RX530", "SNC-RX550", "SNC-RX570", "SNC-RZ50"};

constexpr std::array<std::string_view, 5> kG726AndG711Codecs = {"g711_64", "g726_40", "g726_32", "g726_24",
                                                                "g726_16"};
constexpr std::array<std::string_view, 2> kAacCodecs = {"aac16_64", "aac48_128"};

std::string Value(const std::string& answer, std::string_view key) {
    return GetInquiryValue(answer, key);
}

bool Contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

template <size_t N> bool ContainsAny(const std::string& text, const std::array<std::string_view, N>& parts) {
    return std::any_of(parts.begin(), parts.end(), [&](std::string_view part) { return Contains(text, part); });
}

// One unsigned decimal number as "%u" reads it: leading white space, an
// optional '+', at least one digit; the rest of the text is left.
std::optional<uint32_t> ReadUnsigned(std::string_view& text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    uint64_t value = 0;
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        value = value * 10 + uint64_t(text[digits] - '0');
        if (value > std::numeric_limits<uint32_t>::max())
            return std::nullopt;
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    text.remove_prefix(digits);
    return uint32_t(value);
}

// "%u.%u": both numbers must be there; what follows the minor is ignored.
std::optional<CSonyDeviceInfo::Version> ReadVersion(const std::string& text) {
    std::string_view rest = text;
    const std::optional<uint32_t> major = ReadUnsigned(rest);
    if (!major || rest.empty() || rest.front() != '.')
        return std::nullopt;
    rest.remove_prefix(1);
    const std::optional<uint32_t> minor = ReadUnsigned(rest);
    if (!minor)
        return std::nullopt;
    return CSonyDeviceInfo::Version{*major, *minor, text};
}

template <size_t N> std::vector<std::string> CodecList(const std::array<std::string_view, N>& codecs) {
    return std::vector<std::string>(codecs.begin(), codecs.end());
}

std::vector<std::string> SplitSkippingEmpty(std::string_view text, char separator) {
    std::vector<std::string> parts;
    while (!text.empty()) {
        const size_t end = std::min(text.find(separator), text.size());
        if (end > 0)
            parts.emplace_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return parts;
}

} // namespace

void CSonyDeviceInfo::Reset() {
    *this = CSonyDeviceInfo();
}

bool CSonyDeviceInfo::Parse(const std::string& answer) {
    Reset();
    if (!ReadModel(answer))
        return false;
    ReadGeneration();

    const std::optional<Version> software = ReadVersion(Value(answer, "SoftVersion"));
    if (!software)
        return false;
    m_softwareVersion = *software;
    if (const std::optional<Version> cgi = ReadVersion(Value(answer, "CGIVersion")))
        m_cgiVersion = *cgi;

    if (!ReadVideoStandard(answer))
        return false;
    ReadCodecs(answer);
    ReadPtz(answer);
    ReadAudio(answer);

    m_privacyMasking = Value(answer, "PrivacyMaskingFunc") == "1";
    const uint32_t streams = StringToUnsigned(Value(answer, "ImageCodecMaxNum"));
    m_streamCount = uint16_t(std::clamp<uint32_t>(streams, 1, std::numeric_limits<uint16_t>::max()));
    m_edgeStorage = m_generation >= 5 && Value(answer, "EdgeStorageFunc") == "1";
    if (m_generation == 7)
        m_operationMode = Value(answer, "OperationMode");
    return true;
}

bool CSonyDeviceInfo::ReadModel(const std::string& answer) {
    const std::string model = Value(answer, "ModelName");
    if (!Contains(model, "SNC-") && !Contains(model, "SNT-E"))
        return false;
    m_model = model;
    return true;
}

// Generations 1 to 3 are known by name; the others start at 4 and the image
// keys raise them (ReadCodecs).
void CSonyDeviceInfo::ReadGeneration() {
    if (Contains(m_model, "SNC-Z20"))
        m_generation = 1;
    else if (ContainsAny(m_model, kSecondGenerationModels))
        m_generation = 2;
    else if (ContainsAny(m_model, kThirdGenerationModels))
        m_generation = 3;
    else
        m_generation = kDefaultGeneration;
}

bool CSonyDeviceInfo::ReadVideoStandard(const std::string& answer) {
    const std::string standard = Value(answer, "VideoStd");
    if (standard.empty()) {
        // Models without the key name their standard by the last letter.
        m_videoStandard = m_model.back() == 'N' ? kVideoStandardNtsc : kVideoStandardPal;
        return true;
    }
    if (standard == "ntsc")
        m_videoStandard = kVideoStandardNtsc;
    else if (standard == "pal")
        m_videoStandard = kVideoStandardPal;
    else
        return false;
    return true;
}

void CSonyDeviceInfo::ReadCodecs(const std::string& answer) {
    if (!Value(answer, "ImageSize1").empty() && !Value(answer, "ImageCodec1").empty()) {
        // Numbered streams: the CGI version tells the generation.
        m_jpeg = true;
        m_h264 = true;
        if (m_cgiVersion.major == 6) {
            m_generation = 6;
        } else if (m_cgiVersion.major == 7) {
            m_generation = 7;
        } else {
            m_generation = 5;
            m_mpeg4 = true;
        }
    } else if (!Value(answer, "ImageSize").empty()) {
        m_jpeg = true;
        m_mpeg4 = m_generation == 2;
    } else {
        m_jpeg = !Value(answer, "JpImageSize").empty();
        m_mpeg4 = !Value(answer, "M4ImageSize").empty();
        m_h264 = !Value(answer, "H264ImageSize").empty();
    }
}

void CSonyDeviceInfo::ReadPtz(const std::string& answer) {
    bool solidPtzOn = false;
    const std::string solidFunction = Value(answer, "SolidPTZFunc");
    if (solidFunction.empty() || solidFunction == "1") {
        std::string solid = Value(answer, "SolidPTZ");
        if (solid.empty())
            solid = Value(answer, "SolidPTZ1");
        m_solidPtz = !solid.empty();
        solidPtzOn = solid == "on";
    }
    if (m_solidPtz && !solidPtzOn)
        return;
    const std::string zoom = Value(answer, "ZoomFunc");
    m_panTilt = Value(answer, "PanTiltFunc") == "1";
    m_zoom = zoom == "1";
    m_anyZoom = zoom != "0";
}

void CSonyDeviceInfo::ReadAudio(const std::string& answer) {
    if (m_generation == 5) {
        m_audioInput = !Value(answer, "AudioIn").empty();
        m_audioOutput = !Value(answer, "AudioOut").empty();
        if (m_audioInput)
            m_audioInputCodecs = CodecList(kG726AndG711Codecs);
        if (m_audioOutput)
            m_audioOutputCodecs = CodecList(kG726AndG711Codecs);
    } else if (m_generation == 6 || m_generation == 7) {
        m_audioInput = Value(answer, "AudioInFunc") == "1";
        m_audioOutput = Value(answer, "AudioOutFunc") == "1";
        if (m_audioInput) {
            m_audioInputCodecs = CodecList(kG726AndG711Codecs);
            m_audioInputCodecs.insert(m_audioInputCodecs.end(), kAacCodecs.begin(), kAacCodecs.end());
        }
        if (m_audioOutput)
            m_audioOutputCodecs =
                SplitSkippingEmpty(GetInquiryValue(answer, "AudioOutSupportedCodec", kInquiryValueSeparator, "&"), '/');
    }
}

} // namespace talvex

#include "device/CSonyCameraProperties.h"

#include "device/SonyDeviceIdentification.h"
#include "device/SonyModelFacts.h"
#include "device/SonyPropertyAnswers.h"
#include "http/HUtils.h"
#include "http/InquiryValue.h"
#include "ptz/CPtzCapabilities.h"

namespace talvex {

namespace {

using SonyStreamRules::CapableRealRates;
using SonyStreamRules::CapableResolutions;
using SonyStreamRules::CapableTokens;

constexpr uint32_t kNumberedStreamGeneration = 5;
constexpr uint32_t kFirstCapabilityGeneration = 6;
constexpr const char* kCameraInquiry = "/command/inquiry.cgi?inq=camera";
constexpr const char* kCapabilityVideo = "/command/capability-video?Target=";
constexpr uint32_t kTwoStreamCount = 2;

uint32_t ClassifyStatus(uint32_t status) {
    if (status == 0)
        return kPropertiesNoAnswer;
    if (status == 401)
        return kPropertiesCredentialsRefused;
    return kPropertiesOtherFailure;
}

std::string Numbered(const char* key, uint32_t number) {
    return key + std::to_string(number);
}

bool ContainsAny(const std::string& model, std::initializer_list<const char*> parts) {
    for (const char* part : parts)
        if (model.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace

CSonyCameraProperties::CSonyCameraProperties(const DEVICE_INFO& device, bool markHighRates)
    : CBaseCameraProperties(device, markHighRates), m_http(Device()) {
    m_http.WatchStopEvent(&GetStopEvent());
}

bool CSonyCameraProperties::Fetch(uint32_t& failureReason) {
    m_facts = CameraFacts();
    m_errorText.clear();
    m_failureReason = kPropertiesNoFailure;
    const bool fetched = Identify() && CountInputsAndOutputs() && GatherStreams() && ReadPrivacy();
    if (StopRequested() && m_errorText.empty())
        m_errorText = "the query was cancelled";
    failureReason = m_failureReason;
    return fetched && !StopRequested();
}

void CSonyCameraProperties::Fail(uint32_t reason, std::string text) {
    m_failureReason = reason;
    m_errorText = std::move(text);
}

void CSonyCameraProperties::ForgetFailure() {
    m_failureReason = kPropertiesNoFailure;
    m_errorText.clear();
}

bool CSonyCameraProperties::DeviceGone() const {
    return m_failureReason == kPropertiesCredentialsRefused || m_failureReason == kPropertiesNoAnswer;
}

bool CSonyCameraProperties::Get(const std::string& path, std::string& body, bool readBody) {
    if (StopRequested())
        return false;
    body.clear();
    const bool done = readBody ? HUtils::RequestText(m_http, path, body) : HUtils::RequestOk(m_http, path);
    if (done)
        return true;
    // A request abandoned for a cancel says nothing about the device.
    if (StopRequested())
        return false;
    const uint32_t status = m_http.GetStatusCode();
    const uint32_t reason = ClassifyStatus(status);
    // Without a text the query reports the refused login or the lost device itself.
    Fail(reason, reason == kPropertiesOtherFailure ? "the camera answered " + path + " with status " +
                                                         std::to_string(status) + (status == 200 ? " and no body" : "")
                                                   : std::string());
    return false;
}

bool CSonyCameraProperties::Identify() {
    uint32_t reason = kIdentificationNoFailure;
    const bool identified = IdentifySonyDevice(m_http, GetStopEvent(), m_info, m_answer, reason);
    // Identification lets go of the stop event when it returns; the later requests need it too.
    m_http.WatchStopEvent(&GetStopEvent());
    if (!identified) {
        if (StopRequested())
            return false;
        Fail(reason == kIdentificationNoFailure ? kPropertiesOtherFailure : reason,
             reason == kIdentificationNoFailure || reason == kIdentificationOtherFailure
                 ? "no identification inquiry describes a supported Sony device"
                 : std::string());
        return false;
    }
    // A 404 of the newer path before the older one answered is no failure of the device.
    ForgetFailure();
    RecordIdentity();
    return true;
}

void CSonyCameraProperties::RecordIdentity() {
    const std::string& model = m_info.GetModel();
    m_facts.manufacturer = "Sony";
    m_facts.model = model;
    m_facts.description =
        model + (model.find("SNT-") != std::string::npos ? " Video Network Station" : " Network Camera");
    m_facts.videoStandard = m_info.GetVideoStandard();
    m_facts.generation = m_info.GetGeneration();
    m_facts.firmware = m_info.GetSoftwareVersion().text;
    if (m_info.GetGeneration() >= kFirstCapabilityGeneration)
        m_facts.maximalResolution = SonyPropertyAnswers::ImageMaxSize(m_answer);

    CPtzCapabilities ptz;
    ptz.pan = ptz.tilt = m_info.HasPanTilt();
    ptz.zoom = m_info.HasZoom();
    const SonyModelFacts::PtzExtras extras = SonyModelFacts::PtzExtrasOf(m_info);
    ptz.focus = extras.focus;
    ptz.presetCount = extras.presetCount;
    m_facts.ptzCapabilities = ptz.ToText();
    m_facts.ptz = m_info.HasPanTilt() || m_info.HasZoom();
    m_facts.fullPtz = m_info.HasPanTilt() && m_info.HasZoom();

    m_facts.privacySupported = m_info.HasPrivacyMasking();
    m_facts.audioInputCodecs = m_info.GetAudioInputCodecs();
    m_facts.audioOutputCodecs = m_info.GetAudioOutputCodecs();
    const auto input = SonyModelFacts::AudioInputOf(m_info);
    const auto output = SonyModelFacts::AudioOutputOf(m_info);
    m_facts.audioInput = {input.count, input.stereo};
    m_facts.audioOutput = {output.count, output.stereo};
    m_facts.edgeStorage = m_info.HasEdgeStorage();
    m_facts.operationMode = m_info.GetOperationMode();
    m_facts.perCodecImageKeys = SonyModelFacts::HasPerCodecImageKeys(m_info);
    m_facts.perCodecFrameRateKeys = SonyModelFacts::HasPerCodecFrameRateKeys(m_info);
}

bool CSonyCameraProperties::CountInputsAndOutputs() {
    const std::string& model = m_info.GetModel();
    if (ContainsAny(model, {"SNC-CS10", "SNC-CS11"})) {
        m_facts.inputs = m_facts.outputs = 1;
        return true;
    }
    std::string answer;
    if (Get("/command/inquiry.cgi?inq=sensor", answer))
        m_facts.inputs = SonyPropertyAnswers::CountInputs(answer);
    if (!DeviceGone() && !StopRequested() && model.find("SNT-V704") == std::string::npos &&
        Get("/command/inquiry.cgi?inq=alarmout", answer))
        m_facts.outputs = SonyPropertyAnswers::CountOutputs(answer, m_info.GetGeneration());
    if (DeviceGone() || StopRequested())
        return false;
    // A camera without an I/O group simply has no inputs or outputs.
    ForgetFailure();
    return true;
}

bool CSonyCameraProperties::GatherStreams() {
    if (StopRequested())
        return false;
    return m_info.GetGeneration() >= kFirstCapabilityGeneration ? ExamineStreams() : ProbeStreams();
}

bool CSonyCameraProperties::ExamineStreams() {
    const uint32_t count =
        m_info.GetStreamCount() > 1 ? std::min<uint32_t>(m_info.GetStreamCount(), SonyModelFacts::kMaxStreams) : 1;
    for (uint32_t number = 1; number <= count; ++number) {
        StreamFacts stream;
        if (!ExamineStream(number, count, stream))
            break;
        m_facts.streams.push_back(std::move(stream));
    }
    if (DeviceGone() || StopRequested())
        return false;
    if (m_facts.streams.empty()) {
        if (m_failureReason == kPropertiesNoFailure)
            Fail(kPropertiesOtherFailure, "the camera names no size or frame rate for its first stream");
        return false;
    }
    // A later stream that cannot be examined is not offered; the others stand.
    ForgetFailure();
    return true;
}

std::string CSonyCameraProperties::StreamContext(uint32_t number, uint32_t count) const {
    // Streams before this one as the camera has them, the later ones off:
    // what this stream can do beside the others.
    std::string context;
    for (uint32_t other = 1; other < number; ++other)
        for (const char* key : {"ImageCodec", "ImageSize"})
            if (const std::string value = GetInquiryValue(m_answer, Numbered(key, other)); !value.empty())
                context += "&" + Numbered(key, other) + "=" + value;
    for (uint32_t other = number + 1; other <= count; ++other)
        context += "&" + Numbered("ImageCodec", other) + "=off";
    return context;
}

std::optional<std::vector<std::string>> CSonyCameraProperties::Capable(const std::string& target,
                                                                       const std::string& context) {
    std::string answer;
    if (!Get(kCapabilityVideo + target + context, answer))
        return std::nullopt;
    return CapableTokens(answer, target);
}

bool CSonyCameraProperties::ExamineStream(uint32_t number, uint32_t count, StreamFacts& stream) {
    std::string context = StreamContext(number, count);
    const auto codecs = Capable(Numbered("ImageCodec", number), context);
    if (!codecs)
        return false;
    stream.codecs = SonyModelFacts::CodecNamesOf(*codecs);
    if (stream.codecs.empty())
        return false;
    // The sizes and rates of the stream's first codec (H.264 before MPEG-4 before JPEG).
    context += "&" + Numbered("ImageCodec", number) + "=" + SonyModelFacts::CameraCodecWord(stream.codecs.front());
    const auto sizeTokens = Capable(Numbered("ImageSize", number), context);
    const auto sizes = sizeTokens ? CapableResolutions(*sizeTokens) : std::nullopt;
    if (!sizes || sizes->empty())
        return false;
    const auto rateTokens = Capable(Numbered("FrameRate", number), context);
    if (!rateTokens || CapableRealRates(*rateTokens).empty())
        return false;
    stream.resolutions = *sizes;
    stream.frameRates = CapableRealRates(*rateTokens);
    stream.frameRateTexts = SonyPropertyAnswers::FrameRateTexts(*rateTokens);
    return true;
}

bool CSonyCameraProperties::ProbeStreams() {
    StreamFacts recording;
    recording.codecs = SonyModelFacts::CodecNames(m_info);
    for (uint32_t rate : SonyModelFacts::FixedFrameRates(m_info)) {
        recording.frameRates.insert(double(rate));
        recording.frameRateTexts[uint16_t(rate)] = std::to_string(rate);
    }
    if (!ProbeSizes(recording))
        return false;
    m_facts.streams.push_back(recording);
    // Generation 5 streams share the encoder's sizes and rates.
    if (m_info.GetGeneration() == kNumberedStreamGeneration && m_info.GetStreamCount() > 1) {
        m_facts.streams.push_back(recording);
        if (m_info.GetStreamCount() != kTwoStreamCount)
            m_facts.streams.push_back(recording);
    }
    return true;
}

bool CSonyCameraProperties::ProbeSizes(StreamFacts& stream) {
    const auto table = SonyModelFacts::ResolutionTable(m_info);
    if (table.empty())
        return true;
    const std::string key = SonyModelFacts::ProbeOf(m_info, table.front()).key;
    const std::string original = GetInquiryValue(m_answer, key);
    std::string current = original;
    std::string answer;
    for (const Resolution& size : table) {
        const std::string value = SonyModelFacts::ProbeOf(m_info, size).value;
        if (value != current) {
            // The camera ignores a size it cannot produce: what it reports afterwards tells.
            if (!Get("/command/camera.cgi?" + key + "=" + value, answer, false) || !Get(kCameraInquiry, answer))
                return false;
            current = GetInquiryValue(answer, key);
        }
        if (current == value)
            stream.resolutions.insert(size);
    }
    // Probing must not leave the camera at another size than it had.
    return current == original || original.empty() ||
           Get("/command/camera.cgi?" + key + "=" + original, answer, false);
}

bool CSonyCameraProperties::ReadPrivacy() {
    if (!m_info.HasPrivacyMasking() || StopRequested())
        return !StopRequested();
    const bool masking = m_info.GetGeneration() >= kFirstCapabilityGeneration;
    std::string answer;
    if (!Get(masking ? "/command/inquiry.cgi?inq=masking" : "/command/inquiry.cgi?inq=fcb", answer)) {
        // Masks only go unknown, unless the device refused us or went away.
        if (DeviceGone() || StopRequested())
            return false;
        ForgetFailure();
        return true;
    }
    const auto facts = SonyPropertyAnswers::ReadPrivacyFacts(answer, SonyModelFacts::FcbMaskCount(m_info));
    m_facts.privacyZones = facts.maskCount;
    m_facts.privacyMaskKind = facts.maskKind;
    return true;
}

} // namespace talvex

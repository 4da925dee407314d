#include "privacy/CSonyPrivacyMaskingHandler.h"

#include "common/StringFormat.h"
#include "http/HUtils.h"
#include "ptz/CPtzCapabilities.h"

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kWarningLevel = 2;
constexpr uint32_t kPrivacySupportedId = 5;
constexpr uint32_t kMaximalResolutionId = 6;
// From this generation the masks have a CGI of their own ("masking.cgi", "inq=masking").
constexpr uint32_t kMaskingCgiGeneration = 6;
constexpr uint16_t kVgaWidth = 640;
constexpr uint16_t kVgaHeight = 480;
constexpr const char* kRetrieveMethod = "talvex::CSonyPrivacyMaskingHandler::RetrievePrivacyMaskingConfiguration";
constexpr const char* kApplyMethod = "talvex::CSonyPrivacyMaskingHandler::Apply";

SonyStreamRules::Resolution ReferenceSize(IDriver* driver) {
    const std::string& model = driver->GetDeviceInfo()->model;
    for (const char* vgaModel : CSonyPrivacyMaskingHandler::kVgaReferenceModels)
        if (model.find(vgaModel) != std::string::npos)
            return {kVgaWidth, kVgaHeight};
    return SonyStreamRules::ParseMaximalResolution(driver->GetParameterText(kMaximalResolutionId))
        .value_or(SonyStreamRules::Resolution{});
}

std::string JoinNumbers(const std::vector<uint32_t>& numbers) {
    std::string list;
    for (uint32_t number : numbers)
        list += (list.empty() ? "" : ",") + std::to_string(number);
    return list;
}

} // namespace

CSonyPrivacyMaskingHandler::CSonyPrivacyMaskingHandler(IDriver* driver, const CEvent& stop)
    : m_driver(driver),
      m_supported(driver->GetParameterNumber(kPrivacySupportedId) > 0),
      m_reference(ReferenceSize(driver)),
      m_http(*driver->GetDeviceInfo()) {
    m_http.WatchStopEvent(&stop);
}

void CSonyPrivacyMaskingHandler::SetZones(ipcapture::IPrivacyZoneList* zones) {
    std::lock_guard lock(m_zoneLock);
    m_hostZones.clear();
    for (uint32_t index = 0; zones && index < kMaxHostZones; ++index) {
        ipcapture::IPrivacyZone* zone = zones->GetZone(index);
        if (!zone)
            break;
        m_hostZones.push_back(CPrivacyZone::CopyOf(*zone));
    }
    m_zonesGiven = true;
}

void CSonyPrivacyMaskingHandler::Reset() {
    m_zonesGiven = false;
    m_http.Cancel();
}

std::string CSonyPrivacyMaskingHandler::SkipReason() const {
    if (!m_supported)
        return "the device properties do not announce privacy masking (property 5)";
    if (m_reference.width == 0 || m_reference.height == 0)
        return "the device properties name no maximal resolution (property 6)";
    return std::string();
}

bool CSonyPrivacyMaskingHandler::Apply() {
    if (!m_zonesGiven)
        return true;
    if (const std::string reason = SkipReason(); !reason.empty()) {
        LogOnce(kWarningLevel, FormatString("%s: privacy masks of device %s are not set: %s", kApplyMethod,
                                            m_driver->GetDeviceTag().c_str(), reason.c_str()));
        return true;
    }
    CameraMasks camera;
    if (!RetrievePrivacyMaskingConfiguration(camera))
        return Unwritten();
    const std::optional<std::vector<std::string>> texts = CameraTexts(camera);
    if (!texts) {
        // Hiding the camera's masks for zones it cannot take would unmask more than before.
        LogOnce(kWarningLevel, FormatString("%s: privacy masks of device %s are not set: its masks follow pan, tilt "
                                            "and zoom or have no known form; the camera's masks are left as they are",
                                            kApplyMethod, m_driver->GetDeviceTag().c_str()));
        return true;
    }
    if (!(camera.usesDisplayList ? WriteDisplayList(camera, *texts) : SwitchEachMask(camera, *texts)))
        return Unwritten();
    ClearLastMessage();
    return true;
}

bool CSonyPrivacyMaskingHandler::Unwritten() const {
    // A camera that answered and refused will refuse again; the stream runs without the masks.
    return m_http.GetStatusCode() != 0;
}

bool CSonyPrivacyMaskingHandler::RetrievePrivacyMaskingConfiguration(CameraMasks& camera) {
    if (!m_zonesGiven)
        return false;
    const uint32_t generation = m_driver->GetDeviceInfo()->generation;
    const std::string path =
        std::string("/command/inquiry.cgi?inq=") + (generation >= kMaskingCgiGeneration ? "masking" : "fcb");
    CResultDef result;
    std::vector<uint8_t> answer;
    HUtils::RequestGetRD(result, m_http, path, answer, false);
    if (result.GetDetail() != 0) {
        LogOnce(kErrorLevel, result.GetMessage());
        return false;
    }
    m_http.ReadAll(answer);
    std::optional<CameraMasks> read = PrivacyMaskAnswer::Read(answer);
    if (!read) {
        LogOnce(kWarningLevel, FormatString("%s: Sony device %s returns empty privacy masking configuration!",
                                            kRetrieveMethod, m_driver->GetDeviceTag().c_str()));
        return false;
    }
    camera = std::move(*read);
    return true;
}

bool CSonyPrivacyMaskingHandler::SendMasking(const std::string& params) {
    if (params.empty() || !m_zonesGiven)
        return true;
    const uint32_t generation = m_driver->GetDeviceInfo()->generation;
    const std::string path =
        (generation >= kMaskingCgiGeneration ? "/command/masking.cgi?" : "/command/camera.cgi?") + params;
    CResultDef result;
    std::vector<uint8_t> body;
    HUtils::RequestGetRD(result, m_http, path, body, false);
    if (result.GetDetail() == 0)
        return true;
    LogOnce(kErrorLevel, result.GetMessage());
    return false;
}

bool CSonyPrivacyMaskingHandler::HasPanTiltOrZoom() const {
    const CPtzCapabilities* ptz = m_driver->GetPtzCapabilities();
    return ptz && (ptz->pan || ptz->tilt || ptz->zoom);
}

std::optional<std::vector<std::string>> CSonyPrivacyMaskingHandler::CameraTexts(const CameraMasks& camera) {
    const DEVICE_INFO& device = *m_driver->GetDeviceInfo();
    const PrivacyCoordinates::ConversionMode mode =
        PrivacyCoordinates::ModeOf(camera.usesVertices, device.generation, device.model, HasPanTiltOrZoom());
    std::lock_guard lock(m_zoneLock);
    const bool writable = mode != PrivacyCoordinates::kConversionNone && mode != PrivacyCoordinates::kConversionPtz;
    if (!writable && !m_hostZones.empty())
        return std::nullopt;
    std::vector<std::string> texts;
    for (CPrivacyZone& zone : m_hostZones)
        texts.push_back(PrivacyCoordinates::ToCameraText(mode, zone, m_reference.width, m_reference.height));
    return texts;
}

std::string CSonyPrivacyMaskingHandler::MaskWrite(const CameraMasks& camera, uint32_t number,
                                                  const std::string& text) {
    if (camera.masks.at(number).GetText() == text)
        return std::string();
    return camera.usesVertices ? FormatString("PrivacyMaskVertex%u=", number) + text
                               : FormatString("PrivacyMaskPosition=%u,", number) + text;
}

bool CSonyPrivacyMaskingHandler::SwitchEachMask(const CameraMasks& camera, const std::vector<std::string>& texts) {
    for (uint32_t number = 1; number <= texts.size(); ++number) {
        const std::string& text = texts[number - 1];
        const auto mask = camera.masks.find(number);
        if (mask == camera.masks.end() || text.empty())
            continue;
        std::string request = MaskWrite(camera, number, text);
        if (!mask->second.IsDisplayed())
            request += (request.empty() ? "" : "&") + FormatString("PrivacyDispEach=%u,on", number);
        if (!SendMasking(request))
            return false;
    }
    // Every shown mask beyond the host's zones goes off, also after a gap in the camera's numbers.
    for (auto mask = camera.masks.upper_bound(uint32_t(texts.size())); mask != camera.masks.end(); ++mask)
        if (mask->second.IsDisplayed() && !SendMasking(FormatString("PrivacyDispEach=%u,off", mask->first)))
            return false;
    return true;
}

bool CSonyPrivacyMaskingHandler::WriteDisplayList(const CameraMasks& camera,
                                                  const std::vector<std::string>& texts) {
    std::vector<uint32_t> shown;
    bool changed = false;
    for (uint32_t number = 1; number <= texts.size(); ++number) {
        const std::string& text = texts[number - 1];
        const auto mask = camera.masks.find(number);
        if (mask == camera.masks.end() || text.empty())
            continue;
        if (!SendMasking(MaskWrite(camera, number, text)))
            return false;
        shown.push_back(number);
        changed = changed || !mask->second.IsDisplayed();
    }
    for (auto mask = camera.masks.upper_bound(uint32_t(texts.size())); mask != camera.masks.end(); ++mask)
        changed = changed || mask->second.IsDisplayed();
    return !changed || SendMasking("PrivacyDisplay=" + JoinNumbers(shown));
}

void CSonyPrivacyMaskingHandler::LogOnce(uint32_t level, const std::string& text) {
    std::lock_guard lock(m_messageLock);
    if (text.empty() || text == m_lastMessage)
        return;
    m_lastMessage = text;
    m_driver->DebugMessage(level, "%s", text.c_str());
}

void CSonyPrivacyMaskingHandler::ClearLastMessage() {
    std::lock_guard lock(m_messageLock);
    m_lastMessage.clear();
}

} // namespace talvex

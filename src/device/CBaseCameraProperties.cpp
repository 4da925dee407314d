#include "device/CBaseCameraProperties.h"

#include "common/Conversions.h"
#include "common/StringFormat.h"
#include "settings/MarkedFrameRate.h"

#include <poll.h>

#include <cmath>

namespace talvex {

namespace {

using ipcapture::ICapabilityQueryResult;
using ipcapture::kDevicePropertyNumber;
using ipcapture::kDevicePropertyText;
using ipcapture::kDevicePropertyYesNo;

// A device without resolutions is taken to give VGA.
constexpr Resolution kDefaultResolution{640, 480};
constexpr const char* kStreamLabels[] = {"Rec", "Live", "Remote"};
constexpr const char* kEntryLabels[] = {nullptr, "Live Stream", "Remote Stream"};

// Capability result values.
constexpr uint32_t kValuePtz = 1;
constexpr uint32_t kValueInputs = 2;
constexpr uint32_t kValueOutputs = 3;
constexpr uint32_t kValueAudioInputs = 4;
constexpr uint32_t kValueFullPtz = 5;
constexpr uint32_t kValuePerCodecImageKeys = 11;
constexpr uint32_t kValuePerCodecFrameRateKeys = 12;
constexpr uint32_t kValuePrivacyZones = 13;
constexpr uint32_t kValueRectangleMasks = 14;
constexpr uint32_t kValuePolygonMasks = 15;
constexpr uint32_t kValuePrivacyReserved = 17;
constexpr uint32_t kValueExtraStreams = 27;
constexpr uint32_t kPolygonMaskKind = 2;

template <class Range, class Format>
std::string Join(const Range& items, const char* separator, Format format) {
    std::string text;
    for (const auto& item : items)
        text += (text.empty() ? "" : separator) + format(item);
    return text;
}

std::string JoinNames(const std::vector<std::string>& names) {
    return Join(names, ",", [](const std::string& name) { return name; });
}

// "w,h;" per resolution.
std::string ResolutionList(const StreamFacts* stream) {
    std::string text;
    if (stream)
        for (const Resolution& size : stream->resolutions)
            text += FormatString("%hu,%hu;", size.width, size.height);
    return text;
}

// "n=text;" per entry.
std::string FrameRateMap(const StreamFacts* stream) {
    std::string text;
    if (stream)
        for (const auto& [number, rate] : stream->frameRateTexts)
            text += std::to_string(number) + "=" + rate + ";";
    return text;
}

uint32_t WholeRate(double framesPerSecond) {
    return uint32_t(std::lround(framesPerSecond));
}

std::string AudioEntry(const AudioFacts& audio) {
    return FormatString("Count=%u; IsStereo=%u", audio.count, audio.stereo ? 1u : 0u);
}

DeviceProperty Number(uint32_t id, const char* name, uint32_t value) {
    return {id, name, kDevicePropertyNumber, std::to_string(value)};
}
DeviceProperty YesNo(uint32_t id, const char* name, bool value) {
    return {id, name, kDevicePropertyYesNo, value ? "1" : "0"};
}
DeviceProperty Text(uint32_t id, std::string name, std::string value) {
    return {id, std::move(name), kDevicePropertyText, std::move(value)};
}

// Looks without consuming: the stop event is manual-reset and stays set.
bool IsSignalled(const CEvent& event) {
    pollfd fd{event.GetNativeHandle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
}

} // namespace

CBaseCameraProperties::CBaseCameraProperties(const DEVICE_INFO& device, bool markHighRates)
    : m_device(device), m_markHighRates(markHighRates) {}

void CBaseCameraProperties::Cancel() {
    m_stop.Set();
}

bool CBaseCameraProperties::StopRequested() const {
    return IsSignalled(m_stop);
}

std::pair<Resolution, Resolution> CBaseCameraProperties::MinimalAndMaximal() const {
    const StreamFacts* recording = m_facts.streams.empty() ? nullptr : &m_facts.streams.front();
    if (!recording || recording->resolutions.empty())
        return {kDefaultResolution, m_facts.maximalResolution.value_or(kDefaultResolution)};
    return {*recording->resolutions.begin(), m_facts.maximalResolution.value_or(*recording->resolutions.rbegin())};
}

std::vector<DeviceProperty> CBaseCameraProperties::WriteProperties() const {
    const auto [minimal, maximal] = MinimalAndMaximal();
    const StreamFacts* streams[3] = {};
    for (size_t i = 0; i < m_facts.streams.size() && i < 3; ++i)
        streams[i] = &m_facts.streams[i];
    std::set<uint32_t> wholeRates;
    if (streams[0])
        for (double rate : streams[0]->frameRates)
            wholeRates.insert(WholeRate(rate));

    std::vector<DeviceProperty> properties = {
        Number(1, "Device's video standard", m_facts.videoStandard),
        Number(2, "Generation of Sony device", m_facts.generation),
        Text(3, "Firmware version", m_facts.firmware),
        Text(4, "PTZ capabilities", m_facts.ptzCapabilities),
        YesNo(5, "Privacy zones supported", m_facts.privacySupported),
        Text(6, "Maximal resolution", FormatString("%hux%hu", maximal.width, maximal.height)),
        Text(7, "Minimal resolution", FormatString("%hu,%hu", minimal.width, minimal.height)),
        Text(8, "Supported frame-rates", Join(wholeRates, ",", [](uint32_t rate) { return std::to_string(rate); })),
        Text(9, "Selected audio input codecs", JoinNames(m_facts.audioInputCodecs)),
        Text(10, "Selected audio output codecs", JoinNames(m_facts.audioOutputCodecs)),
        YesNo(11, "Edge storage supported", m_facts.edgeStorage),
    };
    for (uint32_t i = 0; i < 3; ++i)
        properties.push_back(Text(12 + i, FormatString("Supported resolutions (%s)", kStreamLabels[i]),
                                  ResolutionList(streams[i])));
    for (uint32_t i = 0; i < 3; ++i)
        properties.push_back(Text(15 + i, FormatString("Supported frame-rates map (%s)", kStreamLabels[i]),
                                  FrameRateMap(streams[i])));
    properties.push_back(Text(18, "OperationMode", m_facts.operationMode));
    return properties;
}

uint32_t CBaseCameraProperties::FrameInterval(double framesPerSecond) const {
    const uint32_t whole = WholeRate(framesPerSecond);
    if (m_markHighRates && whole > kMaxUnmarkedFrameRate)
        return EncodeFrameInterval(whole, true);
    return FrameRateToIntervalMs(framesPerSecond);
}

bool CBaseCameraProperties::WriteStreamEntries(ICapabilityQueryResult& result, const StreamFacts& stream,
                                               const char* label) const {
    const std::string prefix = std::string(label) + ": Supported ";
    // Every size can run at the stream's highest rate; no camera we know lowers it by size.
    const double fastest = stream.frameRates.empty() ? 0.0 : *stream.frameRates.rbegin();
    const std::string resolutions = Join(stream.resolutions, ",", [&](const Resolution& size) {
        return FormatString("%ux%u:%u", unsigned(size.width), unsigned(size.height), FrameInterval(fastest));
    });
    std::string rates;
    if (!stream.frameRates.empty())
        rates = FormatString("values=%s;default=%u",
                             Join(stream.frameRates, ",",
                                  [&](double rate) { return std::to_string(FrameInterval(rate)); })
                                 .c_str(),
                             FrameInterval(fastest));
    return result.SetCapabilityText((prefix + "Codecs").c_str(), JoinNames(stream.codecs).c_str()) &&
           result.SetCapabilityText((prefix + "Resolutions").c_str(), resolutions.c_str()) &&
           result.SetCapabilityText((prefix + "Framerates").c_str(), rates.c_str());
}

bool CBaseCameraProperties::WriteValues(ICapabilityQueryResult& result) const {
    bool written = true;
    auto value = [&](uint32_t id, int32_t number) { written = written && result.SetCapabilityValue(id, number); };
    if (m_facts.ptz)
        value(kValuePtz, 1);
    if (m_facts.fullPtz)
        value(kValueFullPtz, 1);
    value(kValuePerCodecImageKeys, m_facts.perCodecImageKeys ? 1 : 0);
    value(kValuePerCodecFrameRateKeys, m_facts.perCodecFrameRateKeys ? 1 : 0);
    if (m_facts.inputs)
        value(kValueInputs, int32_t(m_facts.inputs));
    if (m_facts.outputs)
        value(kValueOutputs, int32_t(m_facts.outputs));
    if (m_facts.privacyZones) {
        value(kValuePrivacyZones, int32_t(m_facts.privacyZones));
        value(m_facts.privacyMaskKind == kPolygonMaskKind ? kValuePolygonMasks : kValueRectangleMasks, 1);
        value(kValuePrivacyReserved, 0);
    }
    if (m_facts.streams.size() > 1)
        value(kValueExtraStreams, int32_t(m_facts.streams.size() - 1));
    for (size_t i = 1; i < m_facts.streams.size() && i < 3; ++i)
        written = written && WriteStreamEntries(result, m_facts.streams[i], kEntryLabels[i]);
    if (m_facts.audioInput.count) {
        value(kValueAudioInputs, int32_t(m_facts.audioInput.count));
        written = written &&
                  result.SetCapabilityText("Audio Input Parameters", AudioEntry(m_facts.audioInput).c_str());
    }
    if (m_facts.audioOutput.count)
        written = written &&
                  result.SetCapabilityText("Audio Output Parameters", AudioEntry(m_facts.audioOutput).c_str());
    return written;
}

bool CBaseCameraProperties::WriteResults(ICapabilityQueryResult& result) const {
    if (!result.SetDeviceIdentity(m_facts.manufacturer.c_str(), m_facts.model.c_str(),
                                  m_facts.description.c_str()))
        return false;
    for (const DeviceProperty& property : WriteProperties())
        if (!result.SetDeviceProperty(property.id, property.name.c_str(), property.kind, property.value.c_str()))
            return false;
    return WriteValues(result);
}

} // namespace talvex

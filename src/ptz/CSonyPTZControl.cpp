#include "ptz/CSonyPTZControl.h"

#include "common/IDriver.h"
#include "ptz/CSonyPTZComm.h"
#include "ptz/PtzResult.h"

#include <cstring>

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;

CPtzCapabilities DeviceCapabilities(IDriver* driver) {
    const CPtzCapabilities* capabilities = driver->GetPtzCapabilities();
    return capabilities ? *capabilities : CPtzCapabilities();
}

} // namespace

CSonyPTZControl::CSonyPTZControl(IDriver* driver, uint32_t channelIndex)
    : CBasePTZControl(driver, channelIndex), m_capabilities(DeviceCapabilities(driver)) {}

CSonyPTZControl::~CSonyPTZControl() {
    // The comm object runs threads; it ends before the preset members go.
    Close();
}

std::unique_ptr<CBasePTZComm> CSonyPTZControl::CreateComm() {
    return std::make_unique<CSonyPTZComm>(GetDriver(), uint16_t(GetChannelIndex()), m_capabilities);
}

void CSonyPTZControl::OnMoveCommand() {
    CAutoLock lock(m_presetLock);
    m_currentPreset.clear();
}

int32_t CSonyPTZControl::CopyOut(const std::string& text, char* buffer, uint32_t bufferSize) {
    if (!buffer || text.size() >= bufferSize)
        return kPtzInvalidArgument;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return kPtzSuccess;
}

int32_t CSonyPTZControl::PTZ_GetPrepositionCount() {
    const auto maxAge = std::chrono::milliseconds(GetDriver()->GetDeviceInfo()->firstTimeoutMs);
    {
        CAutoLock lock(m_presetLock);
        if (m_listTime && std::chrono::steady_clock::now() - *m_listTime < maxAge)
            return int32_t(m_presets.size());
    }
    std::map<uint32_t, std::string> presets;
    if (!GetComm() || !GetComm()->ReadPresetList(presets))
        return kPtzNotOpen;
    CAutoLock lock(m_presetLock);
    m_listTime = std::chrono::steady_clock::now();
    m_presets.swap(presets);
    return int32_t(m_presets.size());
}

int32_t CSonyPTZControl::PTZ_GetPrepositionName(int32_t index, char* buffer, uint32_t bufferSize) {
    CAutoLock lock(m_presetLock);
    if (index < 0 || size_t(index) >= m_presets.size())
        return kPtzPresetOutOfRange;
    return CopyOut(std::next(m_presets.begin(), index)->second, buffer, bufferSize);
}

std::optional<uint32_t> CSonyPTZControl::FindPreset(const std::string& name) {
    CAutoLock lock(m_presetLock);
    for (const auto& [index, presetName] : m_presets)
        if (presetName == name)
            return index;
    return std::nullopt;
}

int32_t CSonyPTZControl::PTZ_MoveToPreposition(uint32_t speed, const char* name) {
    if (!name)
        return kPtzInvalidArgument;
    const std::optional<uint32_t> index = FindPreset(name);
    if (!index) {
        GetDriver()->DebugMessage(kErrorLevel,
                                  "talvex::CSonyPTZControl::PTZ_MoveToPreposition: Preposition '%s' can not be found!",
                                  name);
        return kPtzPresetOutOfRange;
    }
    if (!GetComm())
        return kPtzNotOpen;
    if (!GetComm()->PresetCall(name, *index, speed))
        return kPtzNotQueued;
    CAutoLock lock(m_presetLock);
    m_currentPreset = name;
    return kPtzSuccess;
}

std::optional<uint32_t> CSonyPTZControl::IndexForSaving(const std::string& name) {
    if (std::optional<uint32_t> existing = FindPreset(name))
        return existing;
    CAutoLock lock(m_presetLock);
    uint32_t index = 0;
    while (m_presets.count(index))
        ++index;
    return index < m_capabilities.presetCount ? std::optional<uint32_t>(index) : std::nullopt;
}

int32_t CSonyPTZControl::PTZ_SavePreposition(const char* name) {
    if (!name || !*name || std::strlen(name) > kMaxPresetName)
        return kPtzInvalidArgument;
    if (!GetComm())
        return kPtzNotOpen;
    // Saving over a preset the camera holds but this object has not read yet
    // would lose it: the list is read first unless it is fresh.
    PTZ_GetPrepositionCount();
    const std::optional<uint32_t> index = IndexForSaving(name);
    if (!index)
        return kPtzPresetOutOfRange;
    if (!GetComm()->PresetSet(name, *index))
        return kPtzNotQueued;
    CAutoLock lock(m_presetLock);
    m_presets[*index] = name;
    m_currentPreset = name;
    return kPtzSuccess;
}

int32_t CSonyPTZControl::PTZ_DeletePreposition(const char* name) {
    if (!name || !*name)
        return kPtzInvalidArgument;
    const std::optional<uint32_t> index = FindPreset(name);
    if (!index) {
        GetDriver()->DebugMessage(kErrorLevel,
                                  "talvex::CSonyPTZControl::PTZ_DeletePreposition: Preposition '%s' can not be found!",
                                  name);
        return kPtzPresetOutOfRange;
    }
    if (!GetComm())
        return kPtzNotOpen;
    if (!GetComm()->PresetClear(name, *index))
        return kPtzNotQueued;
    CAutoLock lock(m_presetLock);
    m_presets.erase(*index);
    return kPtzSuccess;
}

int32_t CSonyPTZControl::PTZ_GetCurrentPreposition(char* buffer, uint32_t bufferSize) {
    CAutoLock lock(m_presetLock);
    if (m_currentPreset.empty() || m_currentPreset.size() >= bufferSize || !buffer)
        return 0;
    return CopyOut(m_currentPreset, buffer, bufferSize);
}

} // namespace talvex

// The host's PTZ object for a Sony camera: the queued movements of the base
// class, and presets kept by name (the camera numbers them from 1, the host
// names them) with the list cached for one request time-out.
#pragma once

#include "common/CRecursiveLock.h"
#include "ptz/CBasePTZControl.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace talvex {

class CSonyPTZControl : public CBasePTZControl {
public:
    // Longest preset name the camera keeps.
    static constexpr size_t kMaxPresetName = 32;

    CSonyPTZControl(IDriver* driver, uint32_t channelIndex);
    ~CSonyPTZControl() override;

    std::unique_ptr<CBasePTZComm> CreateComm() override;
    void OnMoveCommand() override;

    int32_t PTZ_GetPrepositionCount() override;
    int32_t PTZ_GetPrepositionName(int32_t index, char* buffer, uint32_t bufferSize) override;
    int32_t PTZ_MoveToPreposition(uint32_t speed, const char* name) override;
    int32_t PTZ_SavePreposition(const char* name) override;
    int32_t PTZ_DeletePreposition(const char* name) override;
    int32_t PTZ_GetCurrentPreposition(char* buffer, uint32_t bufferSize) override;

private:
    std::optional<uint32_t> FindPreset(const std::string& name);
    // The index a new name is saved at: its own when the name exists, else
    // the smallest free one; none when every preset is taken.
    std::optional<uint32_t> IndexForSaving(const std::string& name);
    static int32_t CopyOut(const std::string& text, char* buffer, uint32_t bufferSize);

    CPtzCapabilities m_capabilities;
    std::optional<std::chrono::steady_clock::time_point> m_listTime;
    CRecursiveLock m_presetLock;
    std::map<uint32_t, std::string> m_presets;
    std::string m_currentPreset;
};

} // namespace talvex

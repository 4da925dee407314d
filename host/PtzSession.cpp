#include "PtzSession.h"

#include <chrono>
#include <thread>

namespace fennwick_host {
namespace {

// PTZ operations answer 1 for success.
constexpr int32_t kPtzSuccess = 1;
// Room for a preset name of any length the driver saves, and its terminator.
constexpr uint32_t kPresetNameBuffer = 256;
// Host argument of the centre, unzoom and area-zoom slots that the driver passes on unused.
constexpr int32_t kUnusedArgument = 0;

} // namespace

size_t PtzSession::Run(const std::vector<PtzAction>& actions) {
    size_t failed = 0;
    for (const PtzAction& action : actions) {
        if (action.kind == PtzActionKind::Wait) {
            std::fprintf(m_out, "%s\n", action.text.c_str());
            std::fflush(m_out);
            std::this_thread::sleep_for(std::chrono::milliseconds(action.milliseconds));
            continue;
        }
        if (action.kind == PtzActionKind::Presets) {
            failed += ListPresets(action) ? 0 : 1;
            continue;
        }
        const int32_t code = Perform(action);
        std::fprintf(m_out, "%s: %d\n", action.text.c_str(), code);
        std::fflush(m_out);
        failed += code == kPtzSuccess ? 0 : 1;
    }
    return failed;
}

int32_t PtzSession::Perform(const PtzAction& action) {
    switch (action.kind) {
    case PtzActionKind::Move:
    case PtzActionKind::Zoom: return m_ptz.PTZ_Move(action.direction, action.speed);
    case PtzActionKind::Focus:
        return action.flag ? m_ptz.PTZ_FocusNear(action.speed) : m_ptz.PTZ_FocusFar(action.speed);
    case PtzActionKind::Iris:
        return action.flag ? m_ptz.PTZ_IrisOpen(action.speed) : m_ptz.PTZ_IrisClose(action.speed);
    case PtzActionKind::Stop: return m_ptz.PTZ_Stop();
    case PtzActionKind::Center: return m_ptz.PTZ_Center(action.x, action.y, kUnusedArgument);
    case PtzActionKind::AreaZoom: return m_ptz.PTZ_AreaZoom(action.x, action.y, action.percent, kUnusedArgument);
    case PtzActionKind::Unzoom: return m_ptz.PTZ_Unzoom(kUnusedArgument);
    case PtzActionKind::PresetSave: return m_ptz.PTZ_SavePreposition(action.name.c_str());
    case PtzActionKind::PresetCall: return m_ptz.PTZ_MoveToPreposition(action.speed, action.name.c_str());
    case PtzActionKind::PresetDelete: return m_ptz.PTZ_DeletePreposition(action.name.c_str());
    case PtzActionKind::Presets:
    case PtzActionKind::Wait: break; // Run carries these out itself
    }
    return 0;
}

bool PtzSession::ListPresets(const PtzAction& action) {
    const int32_t count = m_ptz.PTZ_GetPrepositionCount();
    std::fprintf(m_out, "%s: %d\n", action.text.c_str(), count);
    bool complete = count >= 0;
    for (int32_t index = 0; index < count; ++index) {
        char name[kPresetNameBuffer] = {};
        const int32_t code = m_ptz.PTZ_GetPrepositionName(index, name, sizeof name);
        if (code == kPtzSuccess) {
            std::fprintf(m_out, "preset %d %s\n", index, name);
        } else {
            std::fprintf(m_out, "preset %d: %d\n", index, code);
            complete = false;
        }
    }
    std::fflush(m_out);
    return complete;
}

} // namespace fennwick_host

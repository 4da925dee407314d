// Result codes of the host-facing PTZ operations.
#pragma once

#include <cstdint>

namespace talvex {

inline constexpr int32_t kPtzSuccess = 1;
inline constexpr int32_t kPtzNotOpen = -1;
inline constexpr int32_t kPtzInvalidArgument = -3;
// The command could not be queued, or (presets) could not be carried out.
inline constexpr int32_t kPtzNotQueued = -18;
inline constexpr int32_t kPtzNotCapable = -19;
inline constexpr int32_t kPtzPresetOutOfRange = -23;

} // namespace talvex

// Per-model facts of Sony cameras that no inquiry answers: resolution tables,
// fixed frame-rate sets, the image-size key probed per generation, PTZ extras,
// audio channels and mask counts. All of them live in SonyModelFacts.cpp, one
// table per fact, each row saying where it came from.
#pragma once

#include "device/CSonyDeviceInfo.h"
#include "settings/SonyStreamRules.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talvex::SonyModelFacts {

using SonyStreamRules::Resolution;

// Sizes to probe on generations 1 to 5, smallest first.
std::vector<Resolution> ResolutionTable(const CSonyDeviceInfo& info);

// Frames per second of the recording stream on generations 1 to 5.
std::vector<uint32_t> FixedFrameRates(const CSonyDeviceInfo& info);

// How one size is asked of a camera of generations 1 to 5: the camera.cgi key
// and the value that names the size; the size is accepted when the camera
// reports the key with exactly that value afterwards.
struct SizeProbe {
    std::string key;
    std::string value;
};
SizeProbe ProbeOf(const CSonyDeviceInfo& info, Resolution size);

// Codec names of the capability entries ("h264", "mpeg", "jpeg") in that order.
std::vector<std::string> CodecNames(const CSonyDeviceInfo& info);
// The entry names of the camera's codec words ("mpeg4" -> "mpeg"), in entry order.
std::vector<std::string> CodecNamesOf(const std::vector<std::string>& cameraWords);
// The camera's word for an entry name ("mpeg" -> "mpeg4").
std::string CameraCodecWord(const std::string& name);

// Focus and preset facts that complete the identification's pan, tilt and zoom.
struct PtzExtras {
    bool focus = false;
    uint32_t presetCount = 0;
};
PtzExtras PtzExtrasOf(const CSonyDeviceInfo& info);

// Audio channels per direction and whether they are stereo.
struct AudioChannels {
    uint32_t count = 0;
    bool stereo = false;
};
AudioChannels AudioInputOf(const CSonyDeviceInfo& info);
AudioChannels AudioOutputOf(const CSonyDeviceInfo& info);

// Masks a camera answering "inq=fcb" holds (its answer does not say).
uint32_t FcbMaskCount(const CSonyDeviceInfo& info);

// Generations 3 and 4 keep one image-size key and one frame-rate key per
// codec ("JpImageSize", "M4FrameRate", ...): the two facts the capability
// results carry as values 11 and 12.
bool HasPerCodecImageKeys(const CSonyDeviceInfo& info);
bool HasPerCodecFrameRateKeys(const CSonyDeviceInfo& info);

// Streams beyond the first that a device of generations 6 and 7 is examined for.
inline constexpr uint32_t kMaxStreams = 3;

} // namespace talvex::SonyModelFacts

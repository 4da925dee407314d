// Reader of the camera's privacy mask inquiry ("inq=masking" from generation
// 6, "inq=fcb" below): which masks exist with which coordinates, and which
// are shown. Pure code over the answer bytes, so that it can be fuzzed alone.
//
// Two answer forms:
//   polygons:   PrivacyMaxNum=8&PrivacyMaskVertex1=x1,y1,x2,y2,x3,y3,x4,y4&...
//   rectangles: PrivacyMaskPosition=1,x,y,w,h,2,x,y,w,h,...
// and two ways of telling the shown masks:
//   PrivacyDisplay=1,3   one list for all masks (written back the same way)
//   PrivacyMonitor=1,3   read-only list; masks are switched one by one
#pragma once

#include "privacy/CPrivacyZoneInfo.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>

namespace talvex::PrivacyMaskAnswer {

// Sony cameras have at most 32 masks; these bound what a peer can make the driver hold.
inline constexpr uint32_t kMaxMasks = 256;
inline constexpr size_t kMaxAnswerBytes = 65536;

struct CameraMasks {
    bool usesVertices = false;
    bool usesDisplayList = false;
    // By mask number.
    std::map<uint32_t, CPrivacyZoneInfo> masks;
};

// nullopt for an empty answer or one longer than kMaxAnswerBytes.
std::optional<CameraMasks> Read(std::span<const uint8_t> answer);

} // namespace talvex::PrivacyMaskAnswer

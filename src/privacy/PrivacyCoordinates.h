// From a host zone in percent of the picture to the camera's mask text. The
// camera's coordinates refer to a reference size (its largest picture, or
// 640 x 480 on some models) and come in one of these forms:
//
//   kConversionPixels      generations 2, 3: "x,y,w,h" in pixels
//   kConversionGrid        generation 4 (and 5, 6 without PTZ): "x,y,w,h" on a
//                          4-pixel grid whose positions count from 1
//   kConversionEvenCorners polygon masks before generation 7: four corners,
//                          even positions and sizes
//   kConversionCorners     generation 7: four corners in whole pixels
//   kConversionPtz         masks that follow pan, tilt and zoom: they need the
//                          camera's position, so the driver writes none
//   kConversionNone        no mask form known
//
// The corners run left-top, right-top, right-bottom, left-bottom.
#pragma once

#include "privacy/CPrivacyZone.h"

#include <cstdint>
#include <string>

namespace talvex::PrivacyCoordinates {

enum ConversionMode : uint32_t {
    kConversionNone = 0,
    kConversionPixels = 1,
    kConversionGrid = 2,
    kConversionEvenCorners = 3,
    kConversionPtz = 4,
    kConversionCorners = 5,
};

// hasPtz: pan, tilt or zoom; video servers ("SNT-") never move the picture.
ConversionMode ModeOf(bool usesVertices, uint32_t generation, const std::string& model, bool hasPtz);

// percent (0..100) of length, rounded; below 4 pixels is no size at all.
uint16_t ScalePercent(uint16_t length, float percent);

// The camera's text of a zone on a width x height reference; empty when the
// mode writes no masks.
std::string ToCameraText(ConversionMode mode, CPrivacyZone& zone, uint16_t width, uint16_t height);

} // namespace talvex::PrivacyCoordinates

// The request texts of Sony PTZ commands. Pure text code, no requests, so
// that every generation's wording can be checked on its own.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

class CSonyPTZRequests {
public:
    static constexpr const char* kMovePrefix = "/command/ptzf.cgi?Move=";
    static constexpr const char* kPresetPath = "/command/presetposition.cgi";
    static constexpr const char* kPresetListPath = "/command/inquiry.cgi?inq=presetposition";
    static constexpr const char* kCameraInquiryPath = "/command/inquiry.cgi?inq=camera";
    static constexpr const char* kUnzoomPath = "/command/ptzf.cgi?AbsoluteZoom=0";

    // VISCA commands of first-generation devices, wrapped in "ptzf.cgi?visca=".
    enum Visca : uint32_t {
        kViscaZoomTele = 0,
        kViscaZoomWide = 1,
        kViscaZoomStop = 2,
        kViscaZoomFullWide = 3,
        kViscaFocusFar = 4,
        kViscaFocusNear = 5,
        kViscaFocusStop = 6,
    };
    static constexpr uint32_t kMaxViscaSpeed = 7;

    // Host speed 1..16 to the VISCA speed digit 0..7.
    static uint32_t ViscaSpeed(uint32_t hostSpeed);
    // "/command/ptzf.cgi?visca=<hex>", the speed limited to 0..7; empty for an unknown command.
    static std::string ViscaPath(uint32_t command, uint32_t viscaSpeed);
    // Move=<name>,<speed> for directions 0..9; empty otherwise.
    static std::string MovePath(uint32_t direction, uint32_t cameraSpeed);
    // Move=stop,<what> with what "motor", "zoom" or "focus".
    static std::string StopPath(const char* what);
    static std::string FocusPath(bool near, uint32_t cameraSpeed);
    // Area zoom around (x, y) of a width x height picture; percent 0 keeps
    // the zoom. Models other than SNC-RZ name the stream: older generations
    // by the default codec (1 JPEG, 2 MPEG-4, 3 H.264), later ones "Image1".
    static std::string AreaZoomPath(uint32_t x, uint32_t y, uint32_t percent, uint32_t width, uint32_t height,
                                    const std::string& model, uint32_t generation, uint32_t defaultCodec);
    static std::string FocusModePath(bool automatic);
    static std::string ExposureModePath(bool full);
    static std::string IrisPath(int32_t irisIndex);
    // POST body saving preset index (from 0) under name.
    static std::string PresetSetBody(const std::string& name, uint32_t index, uint32_t generation);
    static std::string PresetCallPath(uint32_t index, uint32_t cameraSpeed);
    static std::string PresetClearPath(uint32_t index);
};

} // namespace talvex

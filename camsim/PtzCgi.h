// The camera's PTZ CGIs on its web server, answered only by PTZ models (404 on
// the others, and presetposition.cgi only by models with presets):
//  - ptzf.cgi?Move=DIRECTION,SPEED: left, right, up, down, up-left, up-right,
//    down-left, down-right at pan/tilt speed 1 to 24; tele, wide, near, far at
//    lens speed 1 to 8. The move lasts until Move=stop,motor|zoom|focus.
//  - ptzf.cgi?visca=HEX (generation 1 only): VISCA zoom and focus commands
//    81 01 04 07 2p|3p|00 FF (tele, wide, stop), 81 01 04 47 0p 0q 0r 0s FF
//    (zoom to pqrs), 81 01 04 08 2p|3p|00 FF (far, near, stop), p 0 to 7.
//  - ptzf.cgi?AreaZoom=DX,DY,W,H[,SUFFIX]: turns towards the point DX, DY
//    pixels from the picture's centre and zooms so that an area W pixels wide
//    fills it (0,0: no zoom). SUFFIX: jpeg|mpeg4|h264 below generation 5,
//    Image1 to Image3 from 5 on. camsim takes the picture as 640 pixels wide
//    spanning 50 degrees at full wide, and the lens as 18 times.
//  - ptzf.cgi?AbsoluteZoom=HEX: zoom to that lens position.
//  - presetposition.cgi PresetSet=N,NAME[,on|off] (the third field from
//    generation 6), PresetCall=N[,SPEED] (speed 1 to 24), PresetClear=N, in the
//    query of a GET or the body of a POST; names up to 32 characters without
//    commas. The list is inq=presetposition ("PresetName=1,Home,2,Door").
// Answers: 200 for a command performed, 400 with the reason otherwise (bad
// form, a speed out of range, an axis the model lacks, a preset not set).
// Lens and exposure keys (FocusMode, ExpMode, Iris) are camera.cgi's.
#pragma once

#include "HttpServer.h"
#include "PtzState.h"

#include <atomic>
#include <cstdint>

namespace camsim {

struct PtzFaults {
    // ptzf.cgi and presetposition.cgi requests wait this long before they are
    // answered (an answer already on its way when the server stops is dropped).
    uint32_t hangMs = 0;
    // inq=presetposition answers a malformed list (PtzState.h).
    bool malformedPresetNames = false;
};

class PtzCgi {
public:
    // Adds its routes to http when the model has PTZ; state must outlive the
    // routes (its camera).
    PtzCgi(HttpServer& http, CameraState& camera, PtzState& state, const PtzSpec& spec);
    PtzCgi(const PtzCgi&) = delete;
    PtzCgi& operator=(const PtzCgi&) = delete;

    void SetFaults(const PtzFaults& faults);

private:
    void AnswerPtzf(HttpExchange& exchange);
    void AnswerPresetPosition(HttpExchange& exchange);
    // The reason a command cannot be performed; empty when it was.
    std::string Move(std::string_view value);
    std::string Visca(std::string_view hex);
    std::string AreaZoom(std::string_view value);
    std::string AbsoluteZoom(std::string_view value);
    std::string Preset(std::string_view key, std::string_view value);
    // Waits out the hang fault; false when the server stopped meanwhile.
    bool Hang(const HttpExchange& exchange) const;

    CameraState& m_camera;
    PtzState& m_state;
    const PtzSpec m_spec;
    std::atomic<uint32_t> m_hangMs{0};
};

} // namespace camsim

// What a video channel asks of its device's video settings manager: bring the
// camera's stream in line with the channel's wish before a session starts, and
// name the camera's RTSP port.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

class CEvent;

// The wish of one stream; a zero field means "not given".
struct VIDEO_STREAM_SETTINGS {
    // Milliseconds between frames, or a marked frame rate (settings/MarkedFrameRate.h).
    uint32_t frameInterval = 0;
    // 1 (lowest) to 100 (highest).
    uint32_t quality = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    // Which of the device's streams, from 0 (stream number = streamIndex + 1).
    int32_t streamIndex = 0;

    bool operator==(const VIDEO_STREAM_SETTINGS&) const = default;
};

// codecType values of a wish.
enum StreamCodecType : uint32_t {
    kStreamOff = 0,
    kCodecJpeg = 1,
    kCodecMpeg4 = 2,
    kCodecH264 = 3,
};

class IVideoSettingsManager {
public:
    virtual ~IVideoSettingsManager() = default;
    // Stores the wish and waits for the camera to be brought in line with all
    // wishes (up to 60 s). False when the pass failed, the manager is stopping,
    // callerStop (may be null) fired or the time ran out.
    virtual bool SetStreamSettings(CEvent* callerStop, uint32_t codecType, const VIDEO_STREAM_SETTINGS* wish) = 0;
    // keepWishes false drops every stored wish.
    virtual void Reset(bool keepWishes) = 0;
    // The camera's RTSP port as last read; 0 until read (the channel uses 554).
    virtual uint16_t GetRTSPPort() = 0;
    // Why the last pass failed (the request and status, or the missing answer
    // value); empty when it did not fail or gave no cause.
    virtual std::string GetLastFailure() { return {}; }
    // The next pass negotiates every stream anew, as after a changed wish
    // (the camera did not take what the last pass set).
    virtual void Renegotiate() {}
};

} // namespace talvex

// PTZ control as the host drives it. Control operations answer 1 for success
// and negative codes otherwise: -1 not open, -3 invalid argument, -18 could not
// be queued, -19 the camera lacks the capability, -23 preset index out of range.
#pragma once

#include <cstdint>

namespace talvex::ipcapture {

// The host's PTZ capability record, filled by PTZ_GetCapabilities. Flags are
// 0 or 1; the counters are 0 unless the camera offers presets.
struct PTZ_CAPABILITIES {
    int32_t pan;
    int32_t tilt;
    int32_t zoom;
    int32_t focus;
    int32_t iris;
    int32_t areaZoom;
    int32_t center;
    int32_t unzoom;
    uint32_t maxPresetCount;     // preset positions the camera offers
    uint32_t currentPresetCount; // preset positions saved on the camera now
};

class IIPPTZApi {
public:
    virtual ~IIPPTZApi() = default;                                                        // slot 0
    virtual bool PTZ_IsSupported() = 0;                                                    // slot 1
    // direction: 0 left, 1 right, 2 up, 3 down, 4 up-left, 5 up-right, 6 down-left,
    // 7 down-right, 8 zoom in, 9 zoom out; speed 1 to 16, 0 stops.
    virtual int32_t PTZ_Move(int32_t direction, uint32_t speed) = 0;                       // slot 2
    virtual int32_t PTZ_Stop() = 0;                                                        // slot 3
    virtual int32_t PTZ_Center(int32_t x, int32_t y, int32_t arg) = 0;                    // slot 4
    virtual int32_t PTZ_ZoomIn(uint32_t speed) = 0;                                        // slot 5
    virtual int32_t PTZ_ZoomOut(uint32_t speed) = 0;                                       // slot 6
    virtual int32_t PTZ_Unzoom(int32_t arg) = 0;                                           // slot 7
    virtual int32_t PTZ_AreaZoom(int32_t x, int32_t y, int32_t percent, int32_t arg) = 0; // slot 8
    virtual int32_t PTZ_FocusNear(uint32_t speed) = 0;                                     // slot 9
    virtual int32_t PTZ_FocusFar(uint32_t speed) = 0;                                      // slot 10
    virtual int32_t PTZ_IrisOpen(uint32_t speed) = 0;                                      // slot 11
    virtual int32_t PTZ_IrisClose(uint32_t speed) = 0;                                     // slot 12
    virtual int32_t PTZ_GetCapabilities(PTZ_CAPABILITIES* capabilities) = 0;               // slot 13
    virtual int32_t PTZ_GetPrepositionCount() = 0;                                         // slot 14
    virtual int32_t PTZ_GetPrepositionName(int32_t index, char* buffer, uint32_t bufferSize) = 0; // slot 15
    virtual int32_t PTZ_MoveToPreposition(uint32_t speed, const char* name) = 0;           // slot 16
    virtual int32_t PTZ_SavePreposition(const char* name) = 0;                             // slot 17
    virtual int32_t PTZ_DeletePreposition(const char* name) = 0;                           // slot 18
    virtual int32_t PTZ_GetCurrentPreposition(char* buffer, uint32_t bufferSize) = 0;      // slot 19
};

class IIPPTZApiEx : public IIPPTZApi {
public:
    virtual bool PTZ_IsSuccess(int32_t code) = 0;  // slot 20: code equals 1
};

class IIPPTZDriver {
public:
    virtual ~IIPPTZDriver() = default;                           // slot 0
    // Same as GetPTZApi.
    virtual IIPPTZApi* GetPTZ(uint32_t channelIndex) = 0;        // slot 1
};

class IIPPTZDriverEx : public IIPPTZDriver {
public:
    // One PTZ channel per device: any index other than 0 gives null.
    virtual IIPPTZApi* GetPTZApi(uint32_t channelIndex) = 0;     // slot 2
};

} // namespace talvex::ipcapture

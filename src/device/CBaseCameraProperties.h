// What a capability query learns about one device, and how it is handed to the
// host: the numbered device properties the host stores and gives back at every
// open, and the capability values and entries of the query's result object.
// A derived class gathers the facts for its make of camera (Fetch).
#pragma once

#include "common/CEvent.h"
#include "settings/SonyStreamRules.h"

#include <talvex/ipcapture/CapabilityQuery.h>
#include <talvex/ipcapture/DeviceInfo.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace talvex {

using SonyStreamRules::Resolution;

// Why a fetch failed, as the capability query reports it.
enum CameraPropertiesFailure : uint32_t {
    kPropertiesNoFailure = 0,
    kPropertiesCredentialsRefused = 1,
    kPropertiesNoAnswer = 2,
    kPropertiesOtherFailure = 3,
};

// One numbered device property: identifier, name, kind (DevicePropertyKind) and value.
struct DeviceProperty {
    uint32_t id = 0;
    std::string name;
    uint32_t kind = ipcapture::kDevicePropertyText;
    std::string value;
};

// One video stream the device offers (recording, live, remote).
struct StreamFacts {
    std::vector<std::string> codecs;            // "h264", "mpeg", "jpeg"
    std::set<Resolution> resolutions;           // width first, then height
    std::set<double> frameRates;                // frames per second
    std::map<uint16_t, std::string> frameRateTexts; // whole rate -> the camera's text
};

struct AudioFacts {
    uint32_t count = 0;
    bool stereo = false;
};

struct CameraFacts {
    std::string manufacturer;
    std::string model;
    std::string description;
    uint32_t videoStandard = 0;
    uint32_t generation = 0;
    std::string firmware;
    std::string ptzCapabilities;
    bool ptz = false;     // the device steers at least one axis
    bool fullPtz = false; // pan/tilt and zoom both
    bool privacySupported = false;
    uint32_t privacyZones = 0; // masks the camera holds; 0: none
    uint32_t privacyMaskKind = 0;
    std::optional<Resolution> maximalResolution; // the camera's own, preferred over the streams'
    std::vector<std::string> audioInputCodecs;
    std::vector<std::string> audioOutputCodecs;
    bool edgeStorage = false;
    std::string operationMode;
    uint32_t inputs = 0;
    uint32_t outputs = 0;
    std::vector<StreamFacts> streams;
    AudioFacts audioInput;
    AudioFacts audioOutput;
    bool perCodecImageKeys = false;
    bool perCodecFrameRateKeys = false;
};

class CBaseCameraProperties {
public:
    // markHighRates: frame rates above 30 go to the results as marked values.
    CBaseCameraProperties(const DEVICE_INFO& device, bool markHighRates);
    virtual ~CBaseCameraProperties() = default;
    CBaseCameraProperties(const CBaseCameraProperties&) = delete;
    CBaseCameraProperties& operator=(const CBaseCameraProperties&) = delete;

    // Identifies the device and gathers its facts; true only when every step
    // succeeded and no cancel came. failureReason is set in every case.
    virtual bool Fetch(uint32_t& failureReason) = 0;
    // From any thread: the fetch ends before its next request.
    void Cancel();
    // Detail for the failure message; empty when there is none.
    const std::string& GetErrorText() const { return m_errorText; }
    const CameraFacts& GetFacts() const { return m_facts; }

    // The numbered device properties, identifiers 1 to 18 in order.
    std::vector<DeviceProperty> WriteProperties() const;
    // Identity, stored properties, then the capability values and entries;
    // false when the result object refused one.
    bool WriteResults(ipcapture::ICapabilityQueryResult& result) const;

protected:
    bool StopRequested() const;
    const CEvent& GetStopEvent() const { return m_stop; }
    DEVICE_INFO& Device() { return m_device; }

    CameraFacts m_facts;
    std::string m_errorText;

private:
    bool WriteValues(ipcapture::ICapabilityQueryResult& result) const;
    bool WriteStreamEntries(ipcapture::ICapabilityQueryResult& result, const StreamFacts& stream,
                            const char* label) const;
    uint32_t FrameInterval(double framesPerSecond) const;
    std::pair<Resolution, Resolution> MinimalAndMaximal() const;

    DEVICE_INFO m_device;
    bool m_markHighRates;
    CManualEvent m_stop;
};

} // namespace talvex

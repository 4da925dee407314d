// Sets a Sony camera's privacy masks to the host's zones before a channel
// streams: reads the camera's masks, writes those whose coordinates differ,
// shows the masks in use and hides the others. Host zone i (from 0) is camera
// mask i + 1. Owned by one video channel; every request ends on the channel's
// stop event.
#pragma once

#include "common/CEvent.h"
#include "common/IDriver.h"
#include "http/CHttpSender.h"
#include "privacy/CPrivacyZone.h"
#include "privacy/PrivacyCoordinates.h"
#include "privacy/PrivacyMaskAnswer.h"
#include "settings/SonyStreamRules.h"

#include <talvex/ipcapture/PrivacyZone.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace talvex {

class CSonyPrivacyMaskingHandler {
public:
    // A host list that never ends is cut here.
    static constexpr uint32_t kMaxHostZones = PrivacyMaskAnswer::kMaxMasks;
    // Masks of these models refer to a 640 x 480 picture whatever their largest picture is.
    static constexpr const char* kVgaReferenceModels[] = {"SNC-DS60", "SNC-DS10", "SNC-CS20"};

    CSonyPrivacyMaskingHandler(IDriver* driver, const CEvent& stop);
    CSonyPrivacyMaskingHandler(const CSonyPrivacyMaskingHandler&) = delete;
    CSonyPrivacyMaskingHandler& operator=(const CSonyPrivacyMaskingHandler&) = delete;

    // Copies the host's zones (the list and its zones need not outlive the call).
    void SetZones(ipcapture::IPrivacyZoneList* zones);
    // Forgets that zones were given and breaks a running request.
    void Reset();
    // True also when the camera answered but refused: the stream may still
    // run. False when the camera could not be reached. The stream's picture
    // size does not matter: zones are fractions of any picture, and the
    // camera's coordinates refer to its reference size; a stream at the
    // camera's own size (none configured) is masked as well.
    bool Apply();

private:
    using CameraMasks = PrivacyMaskAnswer::CameraMasks;

    // A reason the masks cannot be written, or empty.
    std::string SkipReason() const;
    bool RetrievePrivacyMaskingConfiguration(CameraMasks& camera);
    bool SendMasking(const std::string& params);
    // texts: the camera's text of each host zone, in order (mask 1 first).
    bool SwitchEachMask(const CameraMasks& camera, const std::vector<std::string>& texts);
    bool WriteDisplayList(const CameraMasks& camera, const std::vector<std::string>& texts);
    // The host zones in the camera's text, by mask number; nullopt when the
    // camera's mask form cannot express zones (an empty list still can).
    std::optional<std::vector<std::string>> CameraTexts(const CameraMasks& camera);
    // Apply's result after a failed read or write.
    bool Unwritten() const;
    // "PrivacyMaskPosition=n,..." or "PrivacyMaskVertexn=..."; empty when the camera has that text.
    static std::string MaskWrite(const CameraMasks& camera, uint32_t number, const std::string& text);
    bool HasPanTiltOrZoom() const;
    void LogOnce(uint32_t level, const std::string& text);
    void ClearLastMessage();

    IDriver* const m_driver;
    const bool m_supported;
    // The picture size the camera's mask coordinates refer to; 0 x 0 when unknown.
    const SonyStreamRules::Resolution m_reference;
    Web::CHttpSender m_http;
    std::atomic<bool> m_zonesGiven{false};
    std::mutex m_zoneLock;
    std::vector<CPrivacyZone> m_hostZones;
    std::mutex m_messageLock;
    std::string m_lastMessage;
};

} // namespace talvex

// The Sony half of a video settings manager: reads the camera's video
// configuration and sends, in one "/command/camera.cgi?" request, what must
// change for the streams to match the channels' wishes. Generations below 6
// follow fixed rules; from 6 on every value is negotiated with the camera's
// capability queries and the negotiation is kept for later passes.
#pragma once

#include "common/ConfigFile.h"
#include "http/CHttpSender.h"
#include "settings/CBaseVideoSettingsManager.h"
#include "settings/G6CGIOptions.h"
#include "settings/SonyStreamRules.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace talvex {

class CSonyVideoSettingsManager final : public CBaseVideoSettingsManager {
public:
    // Streams a camera may report; "ImageCodecMaxNum" beyond this is not believed.
    static constexpr uint32_t kMaxStreams = 16;
    static constexpr SonyStreamRules::Resolution kDefaultMaximalResolution{640, 480};

    CSonyVideoSettingsManager(IDriver* driver, uint32_t channelIndex);
    ~CSonyVideoSettingsManager() override;

    // The camera's "OperationMode" as last read.
    std::string GetOperationMode();

protected:
    bool Synchronize(bool settingsChanged) override;
    void OnReset(bool keepWishes) override;

private:
    using Resolution = SonyStreamRules::Resolution;

    struct StreamWish {
        VIDEO_STREAM_SETTINGS settings;
        uint32_t codecType = kStreamOff;

        // A channel asks for the stream: its codec is given. Values it leaves
        // at 0 keep the camera's current ones; a requested stream is never
        // switched off, or the channel would find nothing to play.
        bool IsRequested() const;
        // Codec, frame interval, quality and size are all given.
        bool IsComplete() const;
        Resolution Size() const { return {settings.width, settings.height}; }
        void SetSize(Resolution size);
    };

    bool RequestGet(const std::string& url, std::string& response);
    bool SendCameraCgi(std::string params);
    void StoreCameraFacts(const std::string& inquiry);
    StreamWish StoredWish(int32_t streamIndex);
    uint32_t StreamCount(const std::string& inquiry) const;

    // Generations below 6.
    bool LegacyPass(bool settingsChanged, const std::string& inquiry);
    void ApplyModelRule(StreamWish& first) const;
    void ApplyFrameRateRule(StreamWish& first) const;
    std::string StreamFragment(uint32_t n, const StreamWish& wish, bool settingsChanged, const std::string& inquiry) const;

    // Generations 6 and later.
    bool NegotiatedPass(bool settingsChanged, const std::string& inquiry);
    std::string CodecChangeG6(uint32_t k, uint32_t codecType) const;
    std::string CodecChangeG7(uint32_t index, uint32_t k, uint32_t codecType) const;
    std::string CodecDefaultsG6(uint32_t k, uint32_t codecType, bool withFrameRate) const;
    std::string CodecDefaultsG7(uint32_t index, uint32_t k, uint32_t codecType, bool withFrameRate) const;
    bool NegotiateG6(uint32_t k, const StreamWish& wish, const std::string& hint);
    bool NegotiateG7(uint32_t index, uint32_t k, const StreamWish& wish, const std::string& hint);
    bool NegotiateImageSize(uint32_t k, const StreamWish& wish, const std::string& extra, Resolution& size);
    // Leaves level empty when the camera names no levels.
    bool NegotiateQuality(uint32_t k, const StreamWish& wish, const std::string& hint, std::optional<uint32_t>& level);
    std::optional<std::vector<std::string>> Capable(const std::string& target, const std::string& extra);
    std::string CbrText() const { return m_channelConfig.constantBitRate ? "on" : "off"; }

    // Per-stream device property lists: the live list for index 1, the remote
    // list for index 2, the recording list for any other.
    static size_t ListIndex(uint32_t streamIndex);

    const uint32_t m_generation;
    std::set<uint32_t> m_supportedFrameRates;
    Resolution m_maximalResolution = kDefaultMaximalResolution;
    G6CGIOptions m_options;
    std::atomic<bool> m_configLoaded{false};
    VIDEO_CONFIG m_channelConfig;
    std::array<std::set<Resolution>, 3> m_streamResolutions;
    std::array<std::map<uint16_t, std::string>, 3> m_streamFrameRateTexts;
    // The last negotiation gave an H.264 stream of 2160 lines or more.
    bool m_uhdH264 = false;
    // Guarded by the port lock.
    std::string m_operationMode;
    Web::CHttpSender m_http;
};

} // namespace talvex

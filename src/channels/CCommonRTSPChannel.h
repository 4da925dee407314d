// What the Sony RTSP channels share: the stream URL ("/media" before
// generation 6, then "/video<n>"), the camera's RTSP port and stream settings
// through the video settings manager, and pausing by ending the session.
#pragma once

#include "common/TSmartPtr.h"
#include "settings/IVideoSettingsManager.h"
#include "channels/CBaseRTSPChannel.h"
#include "channels/CChannelPrivacyStep.h"
#include "video/CRTPMediaParser.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace talvex {

class CCommonRTSPChannel : public CBaseRTSPChannel {
public:
    static constexpr uint16_t kDefaultRtspPort = 554;

    // settingsManager may be empty: the camera keeps its stream settings and
    // is reached on port 554. The transport mode comes from the configuration file.
    CCommonRTSPChannel(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
                       TSmartPtr<IVideoSettingsManager> settingsManager, uint32_t codecType);
    ~CCommonRTSPChannel() override;

    // The session keeps running; only the configured size is taken.
    bool Restart(const ChannelStartParameters& parameters) override;
    // Sony channels take no channel option from the host.
    void SetChannelOption(uint32_t) override {}
    // Masks are set for the recording stream only: the camera's masks cover all its streams.
    void SetPrivacyZones(ipcapture::IPrivacyZoneList* zones) override { m_privacy.SetZones(zones); }

    uint32_t GetCodecType() const { return m_codecType; }

    // The wish the settings manager gets: the start record of the channel.
    static VIDEO_STREAM_SETTINGS ToStreamWish(const ChannelStartParameters& parameters);

protected:
    void FillSessionParams(RTSPSessionParams& params) override;
    bool PrepareDevice() override;
    // The description's video encoding must be the channel's codec: a camera
    // that ignored the codec change would feed one codec to another's depacketiser.
    bool AcceptsDescription() override;
    void ProcessPacket(const CRTPPacket& packet) override;
    bool Play() override;
    bool Pause() override;
    void Interrupt() override;

    // Hands the decoder configuration of a description to the depacketiser,
    // which takes it on the packet path before its next packet.
    void SetParserConfiguration(std::vector<uint8_t> first, std::vector<uint8_t> second,
                                std::vector<uint8_t> configuration);

    // Stream index: the channel kind (0 recording, 1 live, 2 remote).
    uint32_t GetStreamIndex() const { return GetStartParameters().kind; }

    TSmartPtr<IVideoSettingsManager> m_settingsManager;
    const uint32_t m_codecType;
    // The depacketiser of the codec; used on the packet path only.
    std::unique_ptr<CRTPMediaParser> m_parser;

private:
    CChannelPrivacyStep m_privacy;
    struct ParserConfiguration {
        std::vector<uint8_t> first, second, configuration;
    };
    std::mutex m_configurationLock;
    std::optional<ParserConfiguration> m_pendingConfiguration;
};

// The RTP mode of the driver's configuration file for this device.
uint32_t ReadVideoTransportMode(IDriver* driver);

} // namespace talvex

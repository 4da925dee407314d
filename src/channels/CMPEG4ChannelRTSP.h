// MPEG-4 over RTSP; the configuration of the description goes to the depacketiser.
#pragma once

#include "channels/CCommonRTSPChannel.h"

namespace talvex {

class CMPEG4ChannelRTSP : public CCommonRTSPChannel {
public:
    CMPEG4ChannelRTSP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
         TSmartPtr<IVideoSettingsManager> settingsManager);
    ~CMPEG4ChannelRTSP() override;

protected:
    void OnDescription() override;
};

} // namespace talvex

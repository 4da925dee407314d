// H.264 over RTSP; the SPS and PPS of the description go to the depacketiser.
#pragma once

#include "channels/CCommonRTSPChannel.h"

namespace talvex {

class CH264ChannelRTSP : public CCommonRTSPChannel {
public:
    CH264ChannelRTSP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
         TSmartPtr<IVideoSettingsManager> settingsManager);
    ~CH264ChannelRTSP() override;

protected:
    void OnDescription() override;
};

} // namespace talvex

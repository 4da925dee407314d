// Motion JPEG over RTSP; RFC 2435 carries its tables in-band, so the description has nothing for the depacketiser.
#pragma once

#include "channels/CCommonRTSPChannel.h"

namespace talvex {

class CMJPEGChannelRTSP : public CCommonRTSPChannel {
public:
    CMJPEGChannelRTSP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
         TSmartPtr<IVideoSettingsManager> settingsManager);
    ~CMJPEGChannelRTSP() override;

protected:
    void OnDescription() override;
};

} // namespace talvex

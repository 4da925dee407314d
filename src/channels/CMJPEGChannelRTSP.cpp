#include "channels/CMJPEGChannelRTSP.h"

#include "channels/CSonyCommonChannel.h"

namespace talvex {

CMJPEGChannelRTSP::CMJPEGChannelRTSP(uint32_t channelIndex, IDriver* driver,
                                     ipcapture::IVideoChannelCallback* frameSink,
                                     TSmartPtr<IVideoSettingsManager> settingsManager)
    : CCommonRTSPChannel(channelIndex, driver, frameSink, std::move(settingsManager), kCodecJpeg) {}

CMJPEGChannelRTSP::~CMJPEGChannelRTSP() {
    StopThread();
}

void CMJPEGChannelRTSP::OnDescription() {}

} // namespace talvex

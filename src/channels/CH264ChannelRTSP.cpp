#include "channels/CH264ChannelRTSP.h"

#include "channels/CSonyCommonChannel.h"

#include <vector>

namespace talvex {

CH264ChannelRTSP::CH264ChannelRTSP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
                                   TSmartPtr<IVideoSettingsManager> settingsManager)
    : CCommonRTSPChannel(channelIndex, driver, frameSink, std::move(settingsManager), kCodecH264) {}

CH264ChannelRTSP::~CH264ChannelRTSP() {
    StopThread();
}

void CH264ChannelRTSP::OnDescription() {
    std::vector<uint8_t> sps, pps, configuration;
    m_rtspClient.GetParameterSets(sps, pps, configuration);
    if (!sps.empty() && !pps.empty())
        SetParserConfiguration(std::move(sps), std::move(pps), {});
}

} // namespace talvex

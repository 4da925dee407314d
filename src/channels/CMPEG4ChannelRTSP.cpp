#include "channels/CMPEG4ChannelRTSP.h"

#include "channels/CSonyCommonChannel.h"

#include <vector>

namespace talvex {

CMPEG4ChannelRTSP::CMPEG4ChannelRTSP(uint32_t channelIndex, IDriver* driver,
                                     ipcapture::IVideoChannelCallback* frameSink,
                                     TSmartPtr<IVideoSettingsManager> settingsManager)
    : CCommonRTSPChannel(channelIndex, driver, frameSink, std::move(settingsManager), kCodecMpeg4) {}

CMPEG4ChannelRTSP::~CMPEG4ChannelRTSP() {
    StopThread();
}

void CMPEG4ChannelRTSP::OnDescription() {
    std::vector<uint8_t> first, second, configuration;
    m_rtspClient.GetParameterSets(first, second, configuration);
    if (!configuration.empty())
        SetParserConfiguration({}, {}, std::move(configuration));
}

} // namespace talvex

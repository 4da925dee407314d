// H.264 over RTP started by "/h264?UdpMode=unicast&UdpPort=<port>": each
// frame is an Annex B access unit as the camera sent it.
#pragma once

#include "channels/CCommonRTPChannel.h"

namespace talvex {

class CH264ChannelRTP : public CCommonRTPChannel {
public:
    CH264ChannelRTP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink);
    ~CH264ChannelRTP() override;

    // Looks at every NAL unit after a 00 00 01 start code: an SPS or an IDR
    // slice makes a key frame, the SPS gives the picture size.
    static FrameInfo ScanFrame(std::span<const uint8_t> frame);

protected:
    std::string StreamPath() const override { return "/h264"; }
    void ProcessRtpFrame(std::span<const uint8_t> frame, uint32_t rtpTimestamp) override;
};

} // namespace talvex

// MPEG-4 visual over RTP started by "/mpeg4?UdpMode=unicast&UdpPort=<port>"
// ("/image" on generations 2 and 3): each frame is the VOP as the camera sent
// it, with its configuration headers in front of I-VOPs.
#pragma once

#include "channels/CCommonRTPChannel.h"

namespace talvex {

class CMPEG4ChannelRTP : public CCommonRTPChannel {
public:
    CMPEG4ChannelRTP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink);
    ~CMPEG4ChannelRTP() override;

    // True when the frame holds an I-VOP (ISO/IEC 14496-2 6.2.5, vop_coding_type 0).
    static bool HoldsIntraVop(std::span<const uint8_t> frame);

protected:
    std::string StreamPath() const override;
    void ProcessRtpFrame(std::span<const uint8_t> frame, uint32_t rtpTimestamp) override;
};

} // namespace talvex

#include "channels/CMPEG4ChannelRTP.h"

#include "video/CMP4Parser.h"
#include "video/FrameTypes.h"

namespace talvex {
namespace {

constexpr uint8_t kVopStartCode = 0xB6;
// vop_coding_type: the top two bits of the byte after the VOP start code.
constexpr uint8_t kCodingTypeShift = 6;
constexpr uint8_t kIntraCodingType = 0;

} // namespace

CMPEG4ChannelRTP::CMPEG4ChannelRTP(uint32_t channelIndex, IDriver* driver,
                                   ipcapture::IVideoChannelCallback* frameSink)
    : CCommonRTPChannel(channelIndex, driver, frameSink, kCodecMpeg4) {}

CMPEG4ChannelRTP::~CMPEG4ChannelRTP() {
    StopThread();
}

std::string CMPEG4ChannelRTP::StreamPath() const {
    return m_generation == 2 || m_generation == 3 ? "/image" : "/mpeg4";
}

bool CMPEG4ChannelRTP::HoldsIntraVop(std::span<const uint8_t> frame) {
    for (size_t i = 0; i + 4 < frame.size(); ++i)
        if (frame[i] == 0 && frame[i + 1] == 0 && frame[i + 2] == 1 && frame[i + 3] == kVopStartCode)
            return (frame[i + 4] >> kCodingTypeShift) == kIntraCodingType;
    return false;
}

void CMPEG4ChannelRTP::ProcessRtpFrame(std::span<const uint8_t> frame, uint32_t rtpTimestamp) {
    FrameInfo info;
    info.hasSize = CMP4Parser::ReadPictureSize(frame, info.width, info.height);
    info.keyFrame = HoldsIntraVop(frame);
    const uint32_t type = info.keyFrame ? kTypeMpeg4KeyFrame : kTypeMpeg4Frame;
    if (!DeliverCodecFrame(frame, rtpTimestamp, info, type, "Sony::CMPEG4ChannelRTP")) {
        const DEVICE_INFO& device = GetDeviceInfo();
        m_driver->DebugMessage(1, "%s(): AllocVideo failed for %sframe from device %s:%u",
                               "talvex::CMPEG4ChannelRTP::ProcessRtpFrame", info.keyFrame ? "intra-" : "",
                               device.address.c_str(), unsigned(device.port));
    }
}

} // namespace talvex

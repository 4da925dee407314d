#include "channels/CH264ChannelRTP.h"

#include "video/CH264SpsReader.h"
#include "video/FrameTypes.h"

namespace talvex {
namespace {

constexpr uint8_t kNalTypeMask = 0x1F;
constexpr uint8_t kNalTypeIdrSlice = 5;

// Offset of the byte after the next 00 00 01 at or after from; frame.size() when there is none.
size_t NextNalStart(std::span<const uint8_t> frame, size_t from) {
    for (size_t i = from; i + 3 <= frame.size(); ++i)
        if (frame[i] == 0 && frame[i + 1] == 0 && frame[i + 2] == 1)
            return i + 3;
    return frame.size();
}

} // namespace

CH264ChannelRTP::CH264ChannelRTP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink)
    : CCommonRTPChannel(channelIndex, driver, frameSink, kCodecH264) {}

CH264ChannelRTP::~CH264ChannelRTP() {
    StopThread();
}

CCommonRTPChannel::FrameInfo CH264ChannelRTP::ScanFrame(std::span<const uint8_t> frame) {
    FrameInfo scan;
    size_t start = NextNalStart(frame, 0);
    while (start < frame.size()) {
        const size_t next = NextNalStart(frame, start);
        // The unit runs up to the next start code (its 00 00 01 excluded).
        const size_t end = next < frame.size() ? next - 3 : frame.size();
        const uint8_t type = frame[start] & kNalTypeMask;
        if (type == kNalTypeIdrSlice)
            scan.keyFrame = true;
        if (type == CH264SpsReader::kNalTypeSps) {
            scan.keyFrame = true;
            if (!scan.hasSize)
                scan.hasSize = CH264SpsReader::ReadPictureSize(frame.subspan(start, end - start), scan.width,
                                                               scan.height);
        }
        start = next;
    }
    return scan;
}

void CH264ChannelRTP::ProcessRtpFrame(std::span<const uint8_t> frame, uint32_t rtpTimestamp) {
    const FrameInfo info = ScanFrame(frame);
    const uint32_t type = info.keyFrame ? kTypeH264KeyFrame : kTypeH264Frame;
    if (!DeliverCodecFrame(frame, rtpTimestamp, info, type, "Sony::CH264ChannelRTP"))
        m_driver->DebugMessage(1, "%s(): AllocVideo failed for %sframe from device %s",
                               "talvex::CH264ChannelRTP::ProcessRtpFrame", info.keyFrame ? "intra-" : "",
                               m_driver->GetDeviceTag().c_str());
}

} // namespace talvex

// Sony channels whose RTP stream is started by an HTTP request (generations
// below 5): the camera sends RTP over UDP to the port named in the request
// until the stream expires. Each frame is the concatenation of the payloads up
// to the marker packet; the codec classes turn it into a host frame.
#pragma once

#include "channels/CBaseRTPChannel.h"
#include "channels/CSonyCommonChannel.h"

#include <mutex>
#include <span>
#include <vector>

namespace talvex {

class CCommonRTPChannel : public CBaseRTPChannel, public CSonyCommonChannel {
public:
    // A frame of at most this many bytes is a fragment of a lost one.
    static constexpr size_t kMinFrameBytes = 100;

    CCommonRTPChannel(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink,
                      uint32_t codecType);
    ~CCommonRTPChannel() override;

    // Sony channels take no channel option from the host.
    void SetChannelOption(uint32_t) override {}
    void SetPrivacyZones(ipcapture::IPrivacyZoneList* zones) override { m_privacy.SetZones(zones); }

    // What one assembled frame holds.
    struct FrameInfo {
        bool keyFrame = false;
        bool hasSize = false;
        uint16_t width = 0;
        uint16_t height = 0;
    };

protected:
    bool PrepareDevice() override;
    void TellStartFailure(std::string cause) override { SetStartFailure(std::move(cause)); }
    bool StartSession() override;
    // The camera ends the stream itself when the RtpExpire time passes.
    void StopSession() override {}
    // The stream needs no keep-alive request.
    bool KeepAlive() override { return true; }
    void Interrupt() override { CancelRequests(); }
    void ProcessPacket(const CRTPPacket& packet) override;
    std::string ExtraOptions(const std::string& current) override;

    // The stream's path: "/h264", "/mpeg4" or "/image".
    virtual std::string StreamPath() const = 0;
    virtual void ProcessRtpFrame(std::span<const uint8_t> frame, uint32_t rtpTimestamp) = 0;

    // Delivers one frame as a host frame named frameName: frames before the
    // first key frame of a session or after a lost frame are dropped (they
    // refer to pictures the host never had),
    // the picture size is the last one a frame gave, else the configured one.
    // False only when the host had no frame to give.
    bool DeliverCodecFrame(std::span<const uint8_t> frame, uint32_t rtpTimestamp, const FrameInfo& info,
                           uint32_t typeCode, const char* frameName);

private:
    void DiscardUntilKeyFrame();

    std::mutex m_bufferLock;
    std::vector<uint8_t> m_buffer;
    uint16_t m_lastSequence = 0;
    bool m_firstPacket = true;
    // Set after a gap: the rest of the broken frame is dropped up to its marker.
    bool m_discarding = true;
    bool m_keyFrameSeen = false;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
};

} // namespace talvex

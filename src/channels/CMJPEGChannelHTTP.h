// Motion JPEG pulled over HTTP ("/mjpeg", "/image" or "/image1"): the
// multipart answer is read by a stream thread of its own and cut into
// pictures by the JPEG marker parser, while the channel worker watches the
// flow of frames as for any other transport.
#pragma once

#include "channels/CBaseRTPChannel.h"
#include "video/CJpegMediaParser.h"
#include "channels/CSonyCommonChannel.h"

#include <thread>

namespace talvex {

class CMJPEGChannelHTTP : public CBaseRTPChannel, public CSonyCommonChannel {
public:
    static constexpr uint32_t kReadChunkBytes = 65536;

    CMJPEGChannelHTTP(uint32_t channelIndex, IDriver* driver, ipcapture::IVideoChannelCallback* frameSink);
    ~CMJPEGChannelHTTP() override;

    // Sony channels take no channel option from the host.
    void SetChannelOption(uint32_t) override {}
    void SetPrivacyZones(ipcapture::IPrivacyZoneList* zones) override { m_privacy.SetZones(zones); }
    // Pictures carry no media clock: a frame's time is its arrival.
    void ConvertTimestamp(uint32_t rtpTimestamp, CTime& time) override;

    // The stream path of a device generation and model; the SNC-Z20 is told
    // its frame rate in the path (frameRate 0: none configured).
    static std::string StreamPath(uint32_t generation, const std::string& model, uint32_t frameRate);

protected:
    bool PrepareDevice() override;
    void TellStartFailure(std::string cause) override { SetStartFailure(std::move(cause)); }
    // No RTP: the pictures come in the HTTP answer.
    bool SetUpRTP() override { return true; }
    bool StartSession() override { return StartHttpStream(); }
    void StopSession() override;
    bool KeepAlive() override { return true; }
    void Interrupt() override;
    void ProcessPacket(const CRTPPacket&) override {}
    std::string ExtraOptions(const std::string& current) override;
    std::string CodecOption(const std::string& current) override;

    bool StartHttpStream();

private:
    void ReadStream();

    Web::CHttpSender m_streamSender;
    // Ends the stream thread; set by StopSession.
    CManualEvent m_streamStopEvent;
    std::thread m_streamThread;
    CJpegMediaParser m_parser;
};

} // namespace talvex

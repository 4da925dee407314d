#include "channels/CMJPEGChannelHTTP.h"

#include "common/CTime.h"

namespace talvex {
namespace {

constexpr uint32_t kHttpOk = 200;
constexpr uint32_t kUdpTransport = 0;
// Answers the SNC-CS20 in dual-codec mode, which is the mode its JPEG stream needs.
constexpr const char* kDualCodecModel = "SNC-CS20";
// Takes its frame rate from the stream request.
constexpr const char* kSpeedInPathModel = "SNC-Z20";

} // namespace

CMJPEGChannelHTTP::CMJPEGChannelHTTP(uint32_t channelIndex, IDriver* driver,
                                     ipcapture::IVideoChannelCallback* frameSink)
    : CBaseRTPChannel(channelIndex, driver, frameSink, kUdpTransport),
      CSonyCommonChannel(driver, kCodecJpeg, m_stopEvent),
      m_streamSender(*driver->GetDeviceInfo()),
      m_parser(*this) {
    m_streamSender.WatchStopEvent(&m_streamStopEvent);
    m_parser.SetClient(this);
}

CMJPEGChannelHTTP::~CMJPEGChannelHTTP() {
    StopThread();
    StopSession();
}

void CMJPEGChannelHTTP::ConvertTimestamp(uint32_t, CTime& time) {
    time = CTime::Now();
}

std::string CMJPEGChannelHTTP::StreamPath(uint32_t generation, const std::string& model, uint32_t frameRate) {
    if (generation == 4 || generation == 5)
        return "/mjpeg";
    if (generation >= 7)
        return "/image1";
    if (model == kSpeedInPathModel && frameRate != 0)
        return "/image?speed=" + std::to_string(frameRate);
    return "/image";
}

bool CMJPEGChannelHTTP::PrepareDevice() {
    return !IsStopping() && PrepareStreamOptions(GetStartParameters());
}

std::string CMJPEGChannelHTTP::ExtraOptions(const std::string& current) {
    return OptionPair(current, "PtzfMode", "normal") + OptionPair(current, "Color", "color");
}

std::string CMJPEGChannelHTTP::CodecOption(const std::string& current) {
    if (m_model != kDualCodecModel || m_numberedKeys)
        return CSonyCommonChannel::CodecOption(current);
    return OptionPair(current, "ImageCodec", "jpeg-mpeg4") + OptionPair(current, "M4ImageSize", "640");
}

bool CMJPEGChannelHTTP::StartHttpStream() {
    StopSession();
    if (IsStopping())
        return false;
    m_streamStopEvent.Reset();
    Web::HttpRequest request;
    request.path = StreamPath(m_generation, m_model, ConfiguredFrameRate(GetStartParameters()));
    const bool answered = m_streamSender.Send(request);
    const uint32_t status = m_streamSender.GetStatusCode();
    if (!answered || status != kHttpOk) {
        TellStartFailure("unable to start the HTTP stream: " + HttpFailure(request.path, answered ? status : 0));
        return false;
    }
    m_streamThread = std::thread(&CMJPEGChannelHTTP::ReadStream, this);
    return true;
}

void CMJPEGChannelHTTP::ReadStream() {
    std::vector<uint8_t> piece;
    while (!m_streamStopEvent.Wait(0)) {
        if (m_streamSender.ReadChunk(piece, kReadChunkBytes, true) == 0) {
            // The camera closed the stream or stopped sending: the worker reconnects.
            if (!m_streamStopEvent.Wait(0))
                m_connectionLostEvent.Set();
            return;
        }
        m_parser.ProcessData(piece);
    }
}

void CMJPEGChannelHTTP::StopSession() {
    m_streamStopEvent.Set();
    m_streamSender.Cancel();
    if (m_streamThread.joinable())
        m_streamThread.join();
}

void CMJPEGChannelHTTP::Interrupt() {
    CancelRequests();
    m_streamSender.Cancel();
}

} // namespace talvex

// Prepares the camera's audio input before a stream starts: reads the audio
// configuration, chooses the codec and switches the camera's audio input on
// with source, volume and codec (what both input channel kinds do first).
#pragma once

#include "audio/AudioFormat.h"
#include "common/CLoggerInstance.h"
#include "common/IDriver.h"
#include "http/CHttpSender.h"

#include <cstdint>
#include <optional>
#include <string>

namespace talvex {

class CAudioInputSettings {
public:
    // method: "talvex::<channel class>::SetAudioStreamParameters", the name
    // the failure lines carry. volumeForCameraMic: see AudioInRequest.
    CAudioInputSettings(IDriver* driver, std::string method, bool volumeForCameraMic);

    // False when the camera cannot be asked or set; the cause is logged once
    // (repeats dropped until a success clears it).
    bool Apply(Web::CHttpSender& sender);

    const AudioCodecChoice& GetCodec() const { return m_codec; }
    // The configured RTP mode (0 UDP, 1 TCP, 2 interleaved).
    uint32_t GetRtpMode() const { return m_rtpMode; }
    // The camera's "RTSPPort", when its answer has one.
    std::optional<uint16_t> GetRtspPort() const { return m_rtspPort; }

private:
    IDriver* m_driver;
    const std::string m_method;
    const bool m_volumeForCameraMic;
    CLoggerInstance m_logger;
    AudioCodecChoice m_codec;
    uint32_t m_rtpMode = 0;
    std::optional<uint16_t> m_rtspPort;
};

} // namespace talvex

// What the Sony channels that configure the camera over HTTP share: reading
// the camera's current video configuration and sending only the stream
// parameters that differ from it.
#pragma once

#include "common/CEvent.h"
#include "common/IDriver.h"
#include "http/CHttpSender.h"
#include "settings/IVideoSettingsManager.h"
#include "channels/CChannelPrivacyStep.h"
#include "channels/ICameraChannel.h"

#include <cstdint>
#include <string>

namespace talvex {

class CSonyCommonChannel {
public:
    // stop: the channel's stop event; every HTTP wait also ends on it.
    CSonyCommonChannel(IDriver* driver, uint32_t codecType, const CEvent& stop);
    virtual ~CSonyCommonChannel() = default;
    CSonyCommonChannel(const CSonyCommonChannel&) = delete;
    CSonyCommonChannel& operator=(const CSonyCommonChannel&) = delete;

    // "&key=value" when the camera's current value differs (or the current
    // configuration is empty), otherwise empty.
    static std::string OptionPair(const std::string& current, const std::string& key, const std::string& value);

protected:
    bool ReceiveDeviceConfiguration(std::string& text);
    bool ApplyDeviceOptions(std::string options);
    bool SetVideoOutMode();
    // Sets the privacy masks when masking is on, then reads the
    // configuration and sends the stream parameters that differ.
    bool PrepareStreamOptions(const ChannelStartParameters& parameters);

    virtual std::string CodecOption(const std::string& current);
    // Rate control, bit rate, quality and key-frame interval from the
    // quality of the start record (1..100; 0 keeps the camera's).
    virtual std::string BitRateOptions(const std::string& current, const ChannelStartParameters& parameters);
    virtual std::string ImageSizeOptions(const std::string& current, uint16_t width, uint16_t height);
    // Only with a configured frame rate and a known picture size.
    virtual std::string FrameRateOptions(const std::string& current, const ChannelStartParameters& parameters);
    virtual std::string ExtraOptions(const std::string& current) = 0;

    // The option list of a configuration, in the camera's order.
    std::string BuildOptions(const std::string& current, const ChannelStartParameters& parameters);
    const char* CodecValue() const;
    std::string ImageSizeValue(uint16_t width, uint16_t height) const;
    std::string ImageSizeKey() const;
    std::string FrameRateKey() const;
    std::string JpegRateOptions(const std::string& current, uint32_t quality) const;
    std::string VideoRateOptions(const std::string& current, const ChannelStartParameters& parameters) const;
    // Frames per second of the start record's frame interval; 0 when none is configured.
    static uint32_t ConfiguredFrameRate(const ChannelStartParameters& parameters);
    // The cause of a failed preparation or stream request, for the channel's start failure line.
    virtual void TellStartFailure(std::string cause) = 0;
    // "GET <path> answered HTTP 503", or "GET <path> got no answer" for status 0.
    static std::string HttpFailure(const std::string& path, uint32_t status);

    // Breaks a blocked request from another thread.
    void CancelRequests() {
        m_sender.Cancel();
        m_privacy.Interrupt();
    }

    IDriver* const m_sonyDriver;
    const uint32_t m_codecType;
    const uint32_t m_generation;
    const std::string m_model;
    // Stream-numbered keys (ImageCodec1, ...) instead of codec-prefixed ones.
    bool m_numberedKeys = false;
    Web::CHttpSender m_sender;
    CChannelPrivacyStep m_privacy;
};

} // namespace talvex

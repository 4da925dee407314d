// The host's audio format objects: the list of output formats speak offers a
// sender channel (one entry), and the object the driver fills with the
// channel's format (IIPAudioSender::GetAudioFormat).
#pragma once

#include <talvex/ipcapture/AudioCapture.h>

#include <cstdint>

namespace fennwick_host {

class HostAudioFormat : public talvex::ipcapture::IAudioFormat {
public:
    explicit HostAudioFormat(uint32_t fourcc = 0) : m_codec(fourcc) {}

    bool IsUsable() const override { return m_codec != 0; }
    uint32_t GetCodec() const override { return m_codec; }
    void SetCodec(uint32_t fourcc) override { m_codec = fourcc; }
    void SetSamplesPerSecond(uint32_t samplesPerSecond) override { m_samplesPerSecond = samplesPerSecond; }
    void SetBitRate(uint32_t bitRate) override { m_bitRate = bitRate; }
    void SetStereo(bool isStereo) override { m_isStereo = isStereo; }
    uint32_t GetSamplesPerSecond() const override { return m_samplesPerSecond; }
    uint32_t GetBitRate() const override { return m_bitRate; }
    bool IsStereo() const override { return m_isStereo; }

private:
    uint32_t m_codec;
    uint32_t m_samplesPerSecond = 0;
    uint32_t m_bitRate = 0;
    bool m_isStereo = false;
};

// One offered format.
class AudioFormatOffer : public talvex::ipcapture::IAudioFormatList {
public:
    explicit AudioFormatOffer(uint32_t fourcc) : m_format(fourcc) {}

    uint32_t GetCount() const override { return 1; }
    talvex::ipcapture::IAudioFormat* GetFormat(uint32_t index) override { return index == 0 ? &m_format : nullptr; }

private:
    HostAudioFormat m_format;
};

} // namespace fennwick_host

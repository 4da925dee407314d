// Cuts the body of the camera's "GET /audio" stream into frames. The body is
// fed in pieces of any size; no I/O happens here.
//
// G.711 and G.726: raw codec bytes, cut every FrameBytes(format) bytes.
// AAC: access units, each behind a 4-byte header:
//
//    0                   1                   2                   3
//    0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//   |  header-section length (16)   |  unit size (13)       | index |
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//
// (the AU header section of RFC 3640 3.2.1 with one header of 13 + 3 bits).
#pragma once

#include "audio/AudioFormat.h"
#include "audio/IAudioParserCallback.h"
#include "common/IDriver.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace talvex {

class CAudioParser {
public:
    static constexpr uint32_t kG711FrameBytes = 2000;
    static constexpr uint32_t kDefaultFrameBytes = 8000;
    static constexpr uint32_t kAacDivisor = 32;
    static constexpr uint32_t kAacDefaultFrameBytes = 2048;
    static constexpr size_t kAacHeaderBytes = 4;
    static constexpr uint16_t kAacHeaderSectionBits = 16;
    // The 13-bit size field bounds a unit, and so the buffer.
    static constexpr size_t kMaxAacUnitBytes = (1u << 13) - 1;

    // channelNumber: the low 8 bits of the host's channel id.
    CAudioParser(IDriver* driver, uint8_t channelNumber);

    void SetFormat(const AudioFormat& format);
    void SetCallback(IAudioParserCallback* callback) { m_callback = callback; }
    // False for an empty piece, a codec this stream cannot carry or a
    // malformed AAC header; the stream is then to be dropped.
    bool Parse(std::span<const uint8_t> bytes);

    // Bytes held for the next frame or unit.
    size_t BufferedBytes() const { return m_buffer.size(); }

    // Bytes of one G.711 / G.726 frame, or the AAC frame size of the table.
    static uint32_t FrameBytes(const AudioFormat& format);

private:
    bool ParseRaw(std::span<const uint8_t> bytes);
    bool ParseAac(std::span<const uint8_t> bytes);
    // On a buffer that holds at least the 4 header bytes.
    size_t AacUnitBytes() const;
    bool HasValidAacHeader() const;
    void ProcessAudioFrame(std::span<const uint8_t> frame);

    IDriver* m_driver;
    const uint8_t m_channelNumber;
    const std::string m_name;
    AudioFormat m_format;
    IAudioParserCallback* m_callback = nullptr;
    std::vector<uint8_t> m_buffer;
};

} // namespace talvex

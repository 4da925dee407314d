// CBaseRTPAudioParser over arbitrary packet sequences: each packet is a 16-bit
// big-endian sequence number, a 16-bit big-endian payload length and the
// payload. Every host frame must go back to the allocator, and no frame may
// hold more than the frame threshold and one payload.
#include "audio/CBaseRTPAudioParser.h"

#include "support/FakeDriver.h"
#include "unit/audio/FakeAudioHost.h"

#include <algorithm>
#include <cstdlib>
#include <span>

namespace {

constexpr size_t kMaxPayloadBytes = 0xFFFF;

uint16_t ReadBigEndian16(std::span<const uint8_t> bytes) {
    return uint16_t((bytes[0] << 8) | bytes[1]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    talvex::test::FakeDriver driver;
    talvex::test::FakeAudioAllocator allocator;
    talvex::test::RecordingAudioConsumer consumer;
    driver.m_allocator = &allocator;
    talvex::CBaseRTPAudioParser parser(&driver, &consumer, 1, "Fennwick::AudioStream");
    parser.SetFormat(talvex::AudioFormat{});
    std::span<const uint8_t> input(data, size);
    while (input.size() >= 4) {
        const uint16_t sequence = ReadBigEndian16(input);
        const size_t length = std::min<size_t>(ReadBigEndian16(input.subspan(2)), input.size() - 4);
        parser.OnRtpPacket(input.subspan(4, length), sequence);
        input = input.subspan(4 + length);
    }
    if (allocator.allocated != allocator.released)
        std::abort();
    for (const auto& frame : consumer.frames)
        if (frame.size() > talvex::AudioFormat{}.samplesPerSecond + kMaxPayloadBytes)
            std::abort();
    return 0;
}

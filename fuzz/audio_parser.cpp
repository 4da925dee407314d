// CAudioParser over arbitrary HTTP audio bodies. The first input byte picks
// the codec and rate, the second a piece size; the body fed in pieces must
// give exactly the frames and the verdict of the whole body, every host frame
// must go back to the allocator, and the buffer must stay within one frame.
#include "audio/CAudioParser.h"

#include "support/FakeDriver.h"
#include "unit/audio/FakeAudioHost.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>

namespace {

using talvex::AudioFormat;

struct Outcome {
    std::vector<std::vector<uint8_t>> frames;
    bool ok = true;
};

AudioFormat PickFormat(uint8_t selector) {
    constexpr std::array<uint32_t, 4> kCodecs = {talvex::kFourccG711MuLaw, talvex::kFourccG711ALaw,
                                                 talvex::kFourccG726, talvex::kFourccAac};
    constexpr std::array<uint32_t, 4> kRates = {16000, 24000, 64000, 31};
    AudioFormat format;
    format.fourcc = kCodecs[selector % kCodecs.size()];
    format.bitrate = kRates[(selector / kCodecs.size()) % kRates.size()];
    return format;
}

Outcome Parse(const AudioFormat& format, std::span<const uint8_t> body, size_t pieceSize) {
    talvex::test::FakeDriver driver;
    talvex::test::FakeAudioAllocator allocator;
    talvex::test::RecordingAudioConsumer consumer;
    driver.m_allocator = &allocator;
    talvex::CAudioParser parser(&driver, 1);
    parser.SetFormat(format);
    parser.SetCallback(&consumer);
    Outcome outcome;
    while (!body.empty() && outcome.ok) {
        const size_t take = std::min(pieceSize, body.size());
        outcome.ok = parser.Parse(body.first(take));
        body = body.subspan(take);
        const size_t cap = std::max<size_t>(talvex::CAudioParser::FrameBytes(format),
                                            talvex::CAudioParser::kAacHeaderBytes + talvex::CAudioParser::kMaxAacUnitBytes);
        if (parser.BufferedBytes() > cap)
            std::abort();
    }
    if (allocator.allocated != allocator.released)
        std::abort();
    outcome.frames = consumer.frames;
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const AudioFormat format = PickFormat(data[0]);
    const size_t pieceSize = size_t(data[1]) + 1;
    const std::span<const uint8_t> body(data + 2, size - 2);
    const Outcome whole = Parse(format, body, body.size() + 1);
    const Outcome pieces = Parse(format, body, pieceSize);
    if (whole.ok != pieces.ok || whole.frames != pieces.frames)
        std::abort();
    return 0;
}

#include "audio/CAudioParser.h"
#include "audio/CBaseRTPAudioParser.h"

#include "support/FakeDriver.h"
#include "unit/audio/FakeAudioHost.h"

#include <gtest/gtest.h>

#include <numeric>
#include <ostream>

namespace talvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), seed);
    return bytes;
}

// An access unit behind its 4-byte header (header-section length, size << 3).
Bytes AacUnit(const Bytes& unit, uint16_t headerBits = 16) {
    const uint16_t sizeField = uint16_t(unit.size() << 3);
    Bytes body{uint8_t(headerBits >> 8), uint8_t(headerBits), uint8_t(sizeField >> 8), uint8_t(sizeField)};
    body.insert(body.end(), unit.begin(), unit.end());
    return body;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

AudioFormat Format(uint32_t fourcc, uint32_t bitrate) {
    AudioFormat format;
    format.fourcc = fourcc;
    format.bitrate = bitrate;
    return format;
}

struct ParserRig {
    explicit ParserRig(const AudioFormat& format) {
        driver.m_allocator = &allocator;
        parser.SetFormat(format);
        parser.SetCallback(&consumer);
    }
    // The result of each piece, in order.
    std::vector<bool> Feed(const std::vector<Bytes>& pieces) {
        std::vector<bool> results;
        for (const Bytes& piece : pieces)
            results.push_back(parser.Parse(piece));
        return results;
    }

    FakeDriver driver;
    FakeAudioAllocator allocator;
    RecordingAudioConsumer consumer;
    CAudioParser parser{&driver, 7};
};

struct StreamCase {
    const char* name;
    AudioFormat format;
    Bytes body;
    std::vector<Bytes> frames;
};

void PrintTo(const StreamCase& value, std::ostream* out) { *out << value.name; }

const Bytes kG711 = Pattern(4500, 1), kG726 = Pattern(1600, 9);
const Bytes kUnit1 = Pattern(5, 3), kUnit2 = Pattern(300, 40), kUnit3 = Pattern(1, 200);

class CAudioParserSplitTest : public ::testing::TestWithParam<StreamCase> {};

// Every split of the body into two pieces gives the frames of the whole body.
TEST_P(CAudioParserSplitTest, EverySplitPointGivesTheSameFrames) {
    const StreamCase& c = GetParam();
    for (size_t split = 1; split < c.body.size(); ++split) {
        ParserRig rig(c.format);
        const auto results = rig.Feed({Bytes(c.body.begin(), c.body.begin() + split), Bytes(c.body.begin() + split, c.body.end())});
        ASSERT_EQ(results, (std::vector<bool>{true, true})) << "split at " << split;
        ASSERT_EQ(rig.consumer.frames, c.frames) << "split at " << split;
        ASSERT_EQ(rig.allocator.allocated, rig.allocator.released);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CAudioParserSplitTest,
    ::testing::Values(
        // 4500 bytes: two frames of 2000, 500 wait for the next piece.
        StreamCase{"G711MuLaw", Format(kFourccG711MuLaw, 64000), kG711, {Bytes(kG711.begin(), kG711.begin() + 2000), Bytes(kG711.begin() + 2000, kG711.begin() + 4000)}},
        StreamCase{"G726At24k", Format(kFourccG726, 24000), kG726, {Bytes(kG726.begin(), kG726.begin() + 750), Bytes(kG726.begin() + 750, kG726.begin() + 1500)}},
        // Half of a fourth header waits for the next piece.
        StreamCase{"AacUnits", Format(kFourccAac, 64000), Join({AacUnit(kUnit1), AacUnit(kUnit2), AacUnit(kUnit3), {0x00, 0x10}}), {kUnit1, kUnit2, kUnit3}}),
    [](const auto& info) { return std::string(info.param.name); });

struct MalformedCase {
    const char* name;
    AudioFormat format;
    std::vector<Bytes> pieces;
    std::vector<bool> results;
    size_t frames;
};

void PrintTo(const MalformedCase& value, std::ostream* out) { *out << value.name; }

class CAudioParserMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(CAudioParserMalformedTest, FailsThePieceThatShowsTheFault) {
    ParserRig rig(GetParam().format);
    EXPECT_EQ(rig.Feed(GetParam().pieces), GetParam().results);
    EXPECT_EQ(rig.consumer.frames.size(), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(
    Units, CAudioParserMalformedTest,
    ::testing::Values(
        MalformedCase{"EmptyPiece", Format(kFourccG711MuLaw, 64000), {{}}, {false}, 0},
        MalformedCase{"UnknownCodec", Format(ipcapture::MakeFourCC('P', 'C', 'M', ' '), 64000), {Pattern(8000, 0)}, {false}, 0},
        MalformedCase{"AacHeaderSectionNot16", Format(kFourccAac, 64000), {AacUnit(kUnit1, 8)}, {false}, 0},
        MalformedCase{"AacUnitOfNoBytes", Format(kFourccAac, 64000), {{0x00, 0x10, 0x00, 0x00}}, {false}, 0},
        // The bad header is told with the piece that completes it.
        MalformedCase{"AacBadHeaderAcrossPieces", Format(kFourccAac, 64000), {{0x00}, {0x20, 0x00, 0x08}}, {true, false}, 0},
        MalformedCase{"AacGoodUnitThenGarbage", Format(kFourccAac, 64000), {AacUnit(kUnit1), {0xFF, 0xFF, 0x00, 0x08}}, {true, false}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct FrameSizeCase {
    const char* name;
    AudioFormat format;
    uint32_t bytes;
};

void PrintTo(const FrameSizeCase& value, std::ostream* out) { *out << value.name; }

class CAudioParserFrameSizeTest : public ::testing::TestWithParam<FrameSizeCase> {};

TEST_P(CAudioParserFrameSizeTest, FrameBytesFollowCodecAndRate) {
    EXPECT_EQ(CAudioParser::FrameBytes(GetParam().format), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Codecs, CAudioParserFrameSizeTest,
                         ::testing::Values(FrameSizeCase{"ALawAnyRate", Format(kFourccG711ALaw, 1), 2000},
                                           FrameSizeCase{"G726At16k", Format(kFourccG726, 16000), 500},
                                           FrameSizeCase{"G726At40k", Format(kFourccG726, 40000), 1250},
                                           FrameSizeCase{"G726OtherRate", Format(kFourccG726, 48000), 8000},
                                           FrameSizeCase{"AacAt64k", Format(kFourccAac, 64000), 2000},
                                           FrameSizeCase{"AacBelow32BitsPerSecond", Format(kFourccAac, 31), 2048}),
                         [](const auto& info) { return std::string(info.param.name); });

// A refused frame and a frame the host could not give both go back or are lost alone.
TEST(CAudioParserHostTest, HostTroubleCostsOneFrameAndEveryFrameGoesBack) {
    ParserRig rig(Format(kFourccG711ALaw, 64000));
    rig.allocator.refuse = true;
    EXPECT_TRUE(rig.parser.Parse(Pattern(2000, 0)));
    rig.allocator.refuse = false;
    rig.consumer.accept = false;
    EXPECT_TRUE(rig.parser.Parse(Pattern(4000, 0)));
    EXPECT_EQ(rig.consumer.codecs, (std::vector<uint32_t>{kFourccG711ALaw, kFourccG711ALaw}));
    EXPECT_EQ(rig.allocator.released.load(), 2);
}

struct Packet {
    uint16_t sequence;
    size_t bytes;
};

// The RTP assembler: one frame per 8000 gathered bytes; a gap discards what
// was gathered; a refused frame starts a fresh one at any sequence number.
struct SequenceCase {
    const char* name;
    std::vector<Packet> packets;
    std::vector<size_t> frames; // sizes the host gets
    bool hostTakes = true;
};

void PrintTo(const SequenceCase& value, std::ostream* out) { *out << value.name; }

class CBaseRTPAudioParserTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(CBaseRTPAudioParserTest, GathersFramesAlongTheSequence) {
    ParserRig rig(AudioFormat{});
    rig.consumer.accept = GetParam().hostTakes;
    CBaseRTPAudioParser parser(&rig.driver, &rig.consumer, 3, "Fennwick::AudioStream");
    parser.SetFormat(AudioFormat{});
    for (const Packet& packet : GetParam().packets)
        parser.OnRtpPacket(Bytes(packet.bytes, uint8_t(packet.sequence)), packet.sequence);
    std::vector<size_t> sizes;
    for (const auto& frame : rig.consumer.frames)
        sizes.push_back(frame.size());
    EXPECT_EQ(sizes, GetParam().frames);
    EXPECT_EQ(rig.allocator.allocated.load(), rig.allocator.released.load());
    EXPECT_EQ(rig.driver.HasLine(1, "Audio-frame processing error, camera 127.0.0.1:80"), !GetParam().hostTakes);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, CBaseRTPAudioParserTest,
    ::testing::Values(SequenceCase{"OverflowStaysInTheFrame", {{1, 4000}, {2, 4500}, {3, 8000}}, {8500, 8000}},
                      SequenceCase{"SkippedNumberDiscards", {{1, 4000}, {3, 4000}, {4, 4000}}, {8000}},
                      SequenceCase{"RepeatedNumberDiscards", {{1, 4000}, {1, 4000}}, {}},
                      SequenceCase{"WrapAroundIsInOrder", {{65535, 4000}, {0, 4000}}, {8000}},
                      SequenceCase{"FirstPacketStartsAnywhere", {{40000, 8000}}, {8000}},
                      SequenceCase{"OneBytePayloadsAreDropped", {{1, 1}, {2, 7999}, {3, 1}}, {}},
                      SequenceCase{"RefusedFrameStartsAFreshFrame", {{10, 8000}, {500, 8000}}, {8000, 8000}, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex::test

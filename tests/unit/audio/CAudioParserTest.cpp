#include "audio/CAudioParser.h"

#include "support/FakeDriver.h"
#include "unit/audio/FakeAudioHost.h"

#include <gtest/gtest.h>

#include <numeric>

namespace talvex::test {
namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), seed);
    return bytes;
}

// An access unit behind its 4-byte header (header-section length, size << 3).
void AppendAacUnit(std::vector<uint8_t>& body, const std::vector<uint8_t>& unit, uint16_t headerBits = 16) {
    const uint16_t sizeField = uint16_t(unit.size() << 3);
    body.insert(body.end(), {uint8_t(headerBits >> 8), uint8_t(headerBits), uint8_t(sizeField >> 8), uint8_t(sizeField)});
    body.insert(body.end(), unit.begin(), unit.end());
}

AudioFormat Format(uint32_t fourcc, uint32_t bitrate) {
    AudioFormat format;
    format.fourcc = fourcc;
    format.bitrate = bitrate;
    return format;
}

struct ParseRun {
    std::vector<std::vector<uint8_t>> frames;
    bool ok = true;
    int allocated = 0;
    int released = 0;
};

class ParserRig {
public:
    explicit ParserRig(const AudioFormat& format) : parser(&driver, 7) {
        driver.m_allocator = &allocator;
        parser.SetFormat(format);
        parser.SetCallback(&consumer);
    }
    ParseRun Feed(const std::vector<std::span<const uint8_t>>& pieces) {
        ParseRun run;
        for (auto piece : pieces)
            run.ok = parser.Parse(piece) && run.ok;
        run.frames = consumer.record.Frames();
        run.allocated = allocator.allocated;
        run.released = allocator.released;
        return run;
    }

    FakeDriver driver;
    FakeAudioAllocator allocator;
    RecordingAudioConsumer consumer;
    CAudioParser parser;
};

struct StreamCase {
    const char* name;
    AudioFormat format;
    std::vector<uint8_t> body;
    std::vector<std::vector<uint8_t>> frames;
};

std::vector<StreamCase> StreamCases() {
    std::vector<StreamCase> cases;
    const std::vector<uint8_t> g711 = Pattern(4500, 1);
    // 4500 bytes: two frames of 2000, 500 wait for the next piece.
    cases.push_back({"G711MuLaw", Format(kFourccG711MuLaw, 64000), g711,
                     {{g711.begin(), g711.begin() + 2000}, {g711.begin() + 2000, g711.begin() + 4000}}});
    cases.push_back({"G711ALaw", Format(kFourccG711ALaw, 64000), {g711.begin(), g711.begin() + 2000}, {{g711.begin(), g711.begin() + 2000}}});
    const std::vector<uint8_t> g726 = Pattern(1600, 9);
    cases.push_back({"G726At24k", Format(kFourccG726, 24000), g726,
                     {{g726.begin(), g726.begin() + 750}, {g726.begin() + 750, g726.begin() + 1500}}});
    std::vector<uint8_t> aac;
    const std::vector<uint8_t> first = Pattern(5, 3), second = Pattern(300, 40), third = Pattern(1, 200);
    AppendAacUnit(aac, first);
    AppendAacUnit(aac, second);
    AppendAacUnit(aac, third);
    aac.insert(aac.end(), {0x00, 0x10}); // half of the next header waits
    cases.push_back({"AacUnits", Format(kFourccAac, 64000), aac, {first, second, third}});
    return cases;
}

class CAudioParserSplitTest : public ::testing::TestWithParam<StreamCase> {};

// Every split of the body into two pieces gives the frames of the whole body.
TEST_P(CAudioParserSplitTest, EverySplitPointGivesTheSameFrames) {
    const StreamCase& c = GetParam();
    const std::span<const uint8_t> body(c.body);
    for (size_t split = 1; split < body.size(); ++split) {
        ParserRig rig(c.format);
        const ParseRun run = rig.Feed({body.first(split), body.subspan(split)});
        ASSERT_TRUE(run.ok) << "split at " << split;
        ASSERT_EQ(run.frames, c.frames) << "split at " << split;
        ASSERT_EQ(run.allocated, run.released);
    }
}

TEST_P(CAudioParserSplitTest, ByteByByteGivesTheSameFrames) {
    const StreamCase& c = GetParam();
    std::vector<std::span<const uint8_t>> pieces;
    for (size_t i = 0; i < c.body.size(); ++i)
        pieces.push_back(std::span<const uint8_t>(c.body).subspan(i, 1));
    ParserRig rig(c.format);
    const ParseRun run = rig.Feed(pieces);
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.frames, c.frames);
}

INSTANTIATE_TEST_SUITE_P(Codecs, CAudioParserSplitTest, ::testing::ValuesIn(StreamCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct MalformedCase {
    const char* name;
    AudioFormat format;
    std::vector<std::vector<uint8_t>> pieces;
    // The result of each piece, in order.
    std::vector<bool> results;
    size_t frames;
};

std::vector<uint8_t> AacBody(const std::vector<uint8_t>& unit, uint16_t headerBits) {
    std::vector<uint8_t> body;
    AppendAacUnit(body, unit, headerBits);
    return body;
}

std::vector<MalformedCase> MalformedCases() {
    const std::vector<uint8_t> good = AacBody(Pattern(10, 0), 16);
    return {
        {"EmptyPiece", Format(kFourccG711MuLaw, 64000), {{}}, {false}, 0},
        {"UnknownCodec", Format(ipcapture::MakeFourCC('P', 'C', 'M', ' '), 64000), {Pattern(8000, 0)}, {false}, 0},
        {"AacHeaderSectionNot16", Format(kFourccAac, 64000), {AacBody(Pattern(10, 0), 8)}, {false}, 0},
        {"AacUnitOfNoBytes", Format(kFourccAac, 64000), {{0x00, 0x10, 0x00, 0x00}}, {false}, 0},
        // The bad header is told with the piece that completes it.
        {"AacBadHeaderAcrossPieces", Format(kFourccAac, 64000), {{0x00}, {0x20, 0x00, 0x08}}, {true, false}, 0},
        {"AacGoodUnitThenGarbage", Format(kFourccAac, 64000), {good, {0xFF, 0xFF, 0x00, 0x08}}, {true, false}, 1},
    };
}

class CAudioParserMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(CAudioParserMalformedTest, FailsThePieceThatShowsTheFault) {
    const MalformedCase& c = GetParam();
    ParserRig rig(c.format);
    std::vector<bool> results;
    for (const auto& piece : c.pieces)
        results.push_back(rig.parser.Parse(piece));
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(rig.consumer.record.Frames().size(), c.frames);
}

INSTANTIATE_TEST_SUITE_P(Units, CAudioParserMalformedTest, ::testing::ValuesIn(MalformedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct FrameSizeCase {
    const char* name;
    AudioFormat format;
    uint32_t bytes;
};

class CAudioParserFrameSizeTest : public ::testing::TestWithParam<FrameSizeCase> {};

TEST_P(CAudioParserFrameSizeTest, FrameBytesFollowCodecAndRate) {
    EXPECT_EQ(CAudioParser::FrameBytes(GetParam().format), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CAudioParserFrameSizeTest,
    ::testing::Values(FrameSizeCase{"MuLawAnyRate", Format(kFourccG711MuLaw, 1), 2000},
                      FrameSizeCase{"ALaw", Format(kFourccG711ALaw, 64000), 2000},
                      FrameSizeCase{"G726At16k", Format(kFourccG726, 16000), 500},
                      FrameSizeCase{"G726At32k", Format(kFourccG726, 32000), 1000},
                      FrameSizeCase{"G726At40k", Format(kFourccG726, 40000), 1250},
                      FrameSizeCase{"G726OtherRate", Format(kFourccG726, 48000), 8000},
                      FrameSizeCase{"AacAt64k", Format(kFourccAac, 64000), 2000},
                      FrameSizeCase{"AacBelow32BitsPerSecond", Format(kFourccAac, 31), 2048},
                      FrameSizeCase{"OtherCodec", Format(0, 64000), 8000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CAudioParserHostTest, FramesCarryTheChannelFormatAndGoBackToTheHost) {
    ParserRig rig(Format(kFourccG711ALaw, 64000));
    rig.consumer.accept = false;
    const std::vector<uint8_t> body = Pattern(4000, 0);
    EXPECT_TRUE(rig.parser.Parse(body));
    EXPECT_EQ(rig.consumer.record.Codecs(), (std::vector<uint32_t>{kFourccG711ALaw, kFourccG711ALaw}));
    EXPECT_EQ(rig.allocator.released.load(), 2);
    EXPECT_TRUE(rig.driver.HasLine(1, "Audio-frame processing error"));
}

TEST(CAudioParserHostTest, NoHostFrameLosesThatFrameOnly) {
    ParserRig rig(Format(kFourccG711MuLaw, 64000));
    rig.allocator.refuse = true;
    EXPECT_TRUE(rig.parser.Parse(Pattern(2000, 0)));
    rig.allocator.refuse = false;
    EXPECT_TRUE(rig.parser.Parse(Pattern(2000, 0)));
    EXPECT_EQ(rig.consumer.record.Frames().size(), 1u);
    EXPECT_TRUE(rig.driver.HasLine(1, "Unable to allocate"));
}

} // namespace
} // namespace talvex::test

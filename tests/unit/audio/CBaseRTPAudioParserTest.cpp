#include "audio/CBaseRTPAudioParser.h"

#include "support/FakeDriver.h"
#include "unit/audio/FakeAudioHost.h"

#include <gtest/gtest.h>

#include <ostream>

namespace talvex::test {
namespace {

struct Packet {
    uint16_t sequence;
    size_t bytes;
};

struct SequenceCase {
    const char* name;
    std::vector<Packet> packets;
    // Sizes of the frames the host gets.
    std::vector<size_t> frames;
};

void PrintTo(const SequenceCase& value, std::ostream* out) { *out << value.name; }

class CBaseRTPAudioParserTest : public ::testing::TestWithParam<SequenceCase> {};

// One frame per 8000 gathered bytes; a gap discards what was gathered.
TEST_P(CBaseRTPAudioParserTest, GathersFramesAlongTheSequence) {
    FakeDriver driver;
    FakeAudioAllocator allocator;
    driver.m_allocator = &allocator;
    RecordingAudioConsumer consumer;
    CBaseRTPAudioParser parser(&driver, &consumer, 3, "Fennwick::AudioStream");
    parser.SetFormat(AudioFormat{});
    for (const Packet& packet : GetParam().packets) {
        const std::vector<uint8_t> payload(packet.bytes, uint8_t(packet.sequence));
        parser.OnRtpPacket(payload, packet.sequence);
    }
    std::vector<size_t> sizes;
    for (const auto& frame : consumer.frames)
        sizes.push_back(frame.size());
    EXPECT_EQ(sizes, GetParam().frames);
    EXPECT_EQ(allocator.allocated.load(), allocator.released.load());
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, CBaseRTPAudioParserTest,
    ::testing::Values(SequenceCase{"EightThousandBytesMakeOneFrame", {{1, 4000}, {2, 4000}}, {8000}},
                      SequenceCase{"OverflowStaysInTheFrame", {{1, 4000}, {2, 4500}, {3, 8000}}, {8500, 8000}},
                      SequenceCase{"SkippedNumberDiscards", {{1, 4000}, {3, 4000}, {4, 4000}}, {8000}},
                      SequenceCase{"RepeatedNumberDiscards", {{1, 4000}, {1, 4000}}, {}},
                      SequenceCase{"WrapAroundIsInOrder", {{65535, 4000}, {0, 4000}}, {8000}},
                      SequenceCase{"FirstPacketStartsAnywhere", {{40000, 8000}}, {8000}},
                      SequenceCase{"OneBytePayloadsAreDropped", {{1, 1}, {2, 7999}, {3, 1}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CBaseRTPAudioParserHostTest, RefusedFrameStartsAFreshFrame) {
    FakeDriver driver;
    FakeAudioAllocator allocator;
    driver.m_allocator = &allocator;
    RecordingAudioConsumer consumer;
    consumer.accept = false;
    CBaseRTPAudioParser parser(&driver, &consumer, 3, "Fennwick::AudioStream");
    parser.SetFormat(AudioFormat{});
    const std::vector<uint8_t> payload(8000, 1);
    parser.OnRtpPacket(payload, 10);
    // After the refusal any sequence number is in order again.
    parser.OnRtpPacket(payload, 500);
    EXPECT_EQ(consumer.frames.size(), 2u);
    EXPECT_EQ(allocator.released.load(), 2);
    EXPECT_TRUE(driver.HasLine(1, "Audio-frame processing error, camera 127.0.0.1:80"));
}

} // namespace
} // namespace talvex::test

#include "video/CJpegMediaParser.h"

#include "unit/video/FakeMediaHost.h"
#include "unit/video/VideoTestData.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

class MjpegParserTest : public ::testing::Test {
protected:
    // Frames delivered for the body fed in the given pieces, by a fresh parser.
    static std::vector<DeliveredFrame> Parse(const std::vector<std::span<const uint8_t>>& pieces) {
        FakeParserOwner freshOwner;
        FakeParserClient freshClient;
        CJpegMediaParser freshParser(freshOwner);
        freshParser.SetClient(&freshClient);
        for (auto piece : pieces)
            freshParser.ProcessData(piece);
        EXPECT_EQ(freshOwner.allocator.released, freshOwner.allocator.allocated);
        return freshClient.frames;
    }
    void ExpectThePictures(const std::vector<DeliveredFrame>& frames, const std::string& where) {
        ASSERT_EQ(frames.size(), 2u) << where;
        for (size_t n = 0; n < 2; ++n) {
            EXPECT_EQ(frames[n].data, pictures[n]) << where;
            EXPECT_EQ(frames[n].typeCode, kTypeJpeg);
            EXPECT_EQ(frames[n].width, 64);
            EXPECT_EQ(frames[n].height, 48);
            EXPECT_EQ(frames[n].sizeClass, 1u);
        }
    }

    const Bytes body = ReadVideoFile("mjpeg_64x48_multipart.bin");
    const std::vector<Bytes> pictures = {ReadVideoFile("mjpeg_64x48_0.jpg"), ReadVideoFile("mjpeg_64x48_1.jpg")};
    // For the cases that feed one parser themselves.
    FakeParserOwner owner;
    FakeParserClient client;
    CJpegMediaParser parser{owner};
};

TEST_F(MjpegParserTest, EverySplitPointAndByteByByteGiveTheSamePictures) {
    std::span<const uint8_t> all = body;
    for (size_t at = 0; at <= all.size(); ++at)
        ExpectThePictures(Parse({all.first(at), all.subspan(at)}), "split at " + std::to_string(at));
    std::vector<std::span<const uint8_t>> pieces;
    for (size_t i = 0; i < body.size(); ++i)
        pieces.push_back(std::span<const uint8_t>(body).subspan(i, 1));
    ExpectThePictures(Parse(pieces), "byte by byte");
}

TEST_F(MjpegParserTest, AFrameHeaderCutByTheEndOfImageGivesTheSameFramesWhateverThePieces) {
    // Found by the fuzzer: an SOF0 whose bytes run past the picture's EOI, and
    // one whose bytes hold another SOF0 marker, itself cut by the EOI. Taken
    // whole, the headers used to be completed from the bytes after the marker
    // before the marker was seen; fed byte by byte, they were not.
    const Bytes cut{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0xFF, 0xD9, 0x00, 0x30, 0x00, 0x40, 0x03,
                    0xFF, 0xD8, 0xFF, 0xC0, 0xB0, 0x34, 0x3A, 0xFF, 0xC0, 0xB0, 0x34, 0xFF, 0xD9, 0x11, 0x22};
    Bytes stream = cut;
    stream.insert(stream.end(), pictures[0].begin(), pictures[0].end());
    std::span<const uint8_t> all = stream;
    const std::vector<DeliveredFrame> whole = Parse({all});
    // The cut picture has no size and is not delivered; the next one is whole.
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].data, pictures[0]);
    EXPECT_EQ(whole[0].width, 64);
    for (size_t at = 0; at <= all.size(); ++at) {
        const std::vector<DeliveredFrame> split = Parse({all.first(at), all.subspan(at)});
        ASSERT_EQ(split.size(), whole.size()) << "split at " << at;
        for (size_t n = 0; n < whole.size(); ++n) {
            EXPECT_EQ(split[n].data, whole[n].data) << "split at " << at;
            EXPECT_EQ(split[n].width, whole[n].width) << "split at " << at;
            EXPECT_EQ(split[n].height, whole[n].height) << "split at " << at;
        }
    }
}

TEST_F(MjpegParserTest, StreamWithoutSof0DeliversNothing) {
    // Relabel every SOF0 as SOF2 (progressive): no baseline frame header is ever seen.
    Bytes relabelled = body;
    for (size_t i = 0; i + 1 < relabelled.size(); ++i)
        if (relabelled[i] == 0xFF && relabelled[i + 1] == 0xC0)
            relabelled[i + 1] = 0xC2;
    EXPECT_TRUE(Parse({relabelled}).empty());
}

TEST_F(MjpegParserTest, PictureOfExactlyTheLimitPassesOneByteMoreIsDroppedAndTheNextStartsCleanly) {
    parser.SetClient(&client);
    // SOI, SOF0 for 64x48, filler, EOI: kMaxFrameBytes in all.
    Bytes picture = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x30, 0x00, 0x40};
    picture.resize(kMaxFrameBytes - 2, 0x00);
    picture.insert(picture.end(), {0xFF, 0xD9});
    parser.ProcessData(picture);
    ASSERT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(client.frames[0].data.size(), kMaxFrameBytes);
    EXPECT_TRUE(owner.driver.Lines().empty());
    picture.insert(picture.end() - 2, 0x00);
    parser.ProcessData(picture);
    EXPECT_EQ(client.frames.size(), 1u);
    EXPECT_EQ(CountLines(owner.driver, "Frame buffer overflow"), 1u);
    parser.ProcessData(body);
    ASSERT_EQ(client.frames.size(), 3u);
    EXPECT_EQ(client.frames[1].data, pictures[0]);
}

TEST_F(MjpegParserTest, NoClientOrNoAllocatorDeliversNothing) {
    parser.ProcessData(body);
    owner.withAllocator = false;
    parser.SetClient(&client);
    parser.ProcessData(body);
    EXPECT_TRUE(client.frames.empty());
    EXPECT_EQ(owner.allocator.allocated, 0);
}

} // namespace
} // namespace talvex::test

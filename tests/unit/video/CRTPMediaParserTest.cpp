// What the three RTP depacketisers share from their base, one typed table
// (codec): nothing before the first key frame, a lost packet drops the partial
// frame, the sequence wraps in order, a frame beyond the size limit is dropped
// and logged, a missing allocator or host frame delivers nothing, and a
// refused delivery releases its frame and resets the parser.
#include "video/CRTPMediaParser.h"

#include "unit/video/RtpParserFixture.h"
#include "video/CH264RTPMediaParser.h"
#include "video/CJpegRTPMediaParser.h"
#include "video/CMpeg4RTPMediaParser.h"
#include "video/FrameTypes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace talvex::test {
namespace {

Bytes Filled(size_t bytes) { return Bytes(bytes, 0x55); }

// Per codec: the configuration a session gives, a whole key frame in one
// packet, the first piece of a fragmented key frame, a later piece, and a
// frame that only follows a key frame.
struct JpegCodec {
    static constexpr const char* kName = "Jpeg";
    using Parser = CJpegRTPMediaParser;
    static Bytes Header(uint32_t offset) {
        return {0, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset), 1, 50, 2, 2};
    }
    static void Configure(Parser&) {}
    static Bytes KeyFrame() { return Concat({Header(0), {0x01}}); }
    static Bytes FirstPiece() { return KeyFrame(); }
    static Bytes LaterPiece(uint32_t offset, size_t bytes) { return Concat({Header(offset), Filled(bytes)}); }
    static Bytes Dependent() { return LaterPiece(8, 1); } // a piece without its first one
};

struct H264Codec {
    static constexpr const char* kName = "H264";
    using Parser = CH264RTPMediaParser;
    static void Configure(Parser& parser) {
        const auto units = SplitAtStartCodes(ReadVideoFile("h264_176x120.h264"));
        parser.SetConfiguration(UnitsOfType(units, 0x1F, {7}).at(0), UnitsOfType(units, 0x1F, {8}).at(0), {});
    }
    static Bytes KeyFrame() { return {0x65, 0x88}; }
    static Bytes FirstPiece() { return {0x7C, 0x85, 0x01}; }                          // FU-A start, IDR
    static Bytes LaterPiece(uint32_t, size_t bytes) { return Concat({{0x7C, 0x05}, Filled(bytes)}); }
    static Bytes Dependent() { return {0x41, 0x9A, 0x01}; }                            // non-IDR slice
};

struct Mpeg4Codec {
    static constexpr const char* kName = "Mpeg4";
    using Parser = CMpeg4RTPMediaParser;
    static void Configure(Parser& parser) {
        const Bytes stream = ReadVideoFile("mpeg4_208x120.m4v");
        const Bytes vop = {0, 0, 1, 0xB6};
        const auto end = std::search(stream.begin(), stream.end(), vop.begin(), vop.end());
        parser.SetConfiguration({}, {}, Bytes(stream.begin(), end));
    }
    static Bytes KeyFrame() { return {0, 0, 1, 0xB6, 0x00, 0x01}; }  // I-VOP
    static Bytes FirstPiece() { return KeyFrame(); }
    static Bytes LaterPiece(uint32_t, size_t bytes) { return Filled(bytes); }
    static Bytes Dependent() { return {0, 0, 1, 0xB6, 0x40, 0x02}; } // P-VOP
};

template <class Codec>
class RtpDepacketiserBase : public RtpParserFixture<typename Codec::Parser> {
protected:
    RtpDepacketiserBase() { Codec::Configure(this->parser); }
    size_t Frames() const { return this->client.frames.size(); }
};

struct CodecNames {
    template <class Codec>
    static std::string GetName(int) { return Codec::kName; }
};

using Codecs = ::testing::Types<JpegCodec, H264Codec, Mpeg4Codec>;
TYPED_TEST_SUITE(RtpDepacketiserBase, Codecs, CodecNames);

TYPED_TEST(RtpDepacketiserBase, NothingBeforeTheFirstKeyFrameIsDelivered) {
    this->Send(true, TypeParam::Dependent());
    this->Send(true, TypeParam::Dependent());
    EXPECT_EQ(this->Frames(), 0u);
    this->Send(true, TypeParam::KeyFrame());
    EXPECT_EQ(this->Frames(), 1u);
}

// The other cases start streaming with a key frame, so that a frame left out is left out for its fault.
TYPED_TEST(RtpDepacketiserBase, LostPacketDropsThePartialFrameUntilTheNextKeyFrame) {
    this->Send(true, TypeParam::KeyFrame());
    this->Send(false, TypeParam::FirstPiece());
    ++this->sequence; // lost
    this->Send(true, TypeParam::LaterPiece(2, 1));
    this->Send(true, TypeParam::Dependent());
    EXPECT_EQ(this->Frames(), 1u) << "partial frame or a frame that needs it delivered";
    this->Send(true, TypeParam::KeyFrame());
    EXPECT_EQ(this->Frames(), 2u);
}

TYPED_TEST(RtpDepacketiserBase, SequenceWrapIsInOrder) {
    this->sequence = 65534;
    this->Send(true, TypeParam::KeyFrame());
    this->Send(false, TypeParam::FirstPiece());
    this->Send(true, TypeParam::LaterPiece(1, 1));
    EXPECT_EQ(this->Frames(), 2u) << "the packet after 65535 taken as a loss";
}

TYPED_TEST(RtpDepacketiserBase, FrameBeyondTheSizeLimitIsDroppedLoggedAndResets) {
    constexpr size_t kPiece = 60000;
    this->Send(true, TypeParam::KeyFrame());
    this->Send(false, TypeParam::FirstPiece());
    size_t sent = 0;
    for (uint32_t offset = 1; sent <= kMaxFrameBytes; sent += kPiece, offset += kPiece)
        this->Send(false, TypeParam::LaterPiece(offset, kPiece));
    this->Send(true, TypeParam::LaterPiece(uint32_t(sent), 1));
    this->Send(true, TypeParam::Dependent());
    EXPECT_EQ(this->Frames(), 1u);
    EXPECT_EQ(CountLines(this->owner.driver, "Frame buffer overflow"), 1u);
    this->Send(true, TypeParam::KeyFrame());
    EXPECT_EQ(this->Frames(), 2u);
}

TYPED_TEST(RtpDepacketiserBase, MissingAllocatorOrHostFrameDeliversNothing) {
    this->owner.withAllocator = false;
    this->Send(true, TypeParam::KeyFrame());
    this->owner.withAllocator = true;
    this->owner.allocator.refuse = true;
    this->Send(true, TypeParam::KeyFrame());
    EXPECT_EQ(this->Frames(), 0u);
    this->owner.allocator.refuse = false;
    this->Send(true, TypeParam::KeyFrame());
    EXPECT_EQ(this->Frames(), 1u) << "no recovery once the host has frames again";
}

TYPED_TEST(RtpDepacketiserBase, RefusedDeliveryReleasesTheFrameAndWaitsForAKeyFrame) {
    this->client.accept = false;
    this->Send(true, TypeParam::KeyFrame());
    this->client.accept = true;
    this->Send(true, TypeParam::Dependent());
    EXPECT_EQ(this->Frames(), 1u) << "a frame that needs the refused one delivered";
    EXPECT_EQ(this->owner.allocator.released, this->owner.allocator.allocated);
    this->Send(true, TypeParam::KeyFrame());
    EXPECT_EQ(this->Frames(), 2u);
}

} // namespace
} // namespace talvex::test

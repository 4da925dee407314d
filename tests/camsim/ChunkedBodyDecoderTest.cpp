#include "ChunkedBodyDecoder.h"

#include <gtest/gtest.h>

#include <string>

namespace camsim {
namespace {

// A chunked body as curl sends an upload (chunk-size in lower-case hex), with
// an extension and a trailer field added, then the next request's first bytes.
const std::string kCapturedBody = "5\r\nhello\r\n1a;name=\"x\"\r\nabcdefghijklmnopqrstuvwxyz\r\n"
                                  "0\r\nExpires: never\r\n\r\nPOST /next";
const std::string kDecoded = "helloabcdefghijklmnopqrstuvwxyz";
const size_t kBodyEnd = kCapturedBody.find("POST");

// Feeds the pieces in turn; the status after the last and what was decoded.
ChunkedBodyDecoder::Status FeedPieces(const std::vector<std::string_view>& pieces, std::string& body,
                                      size_t& lastConsumed) {
    ChunkedBodyDecoder decoder;
    ChunkedBodyDecoder::Status status = ChunkedBodyDecoder::Status::NeedMore;
    for (std::string_view piece : pieces)
        status = decoder.Feed(piece, body, lastConsumed);
    return status;
}

TEST(ChunkedBodyDecoder, EverySplitPointDecodesTheSameBody) {
    const std::string_view all = kCapturedBody;
    for (size_t split = 0; split <= kBodyEnd; ++split) {
        std::string body;
        size_t consumed = 0;
        EXPECT_EQ(FeedPieces({all.substr(0, split), all.substr(split)}, body, consumed), ChunkedBodyDecoder::Status::Done)
            << "split at " << split;
        EXPECT_EQ(body, kDecoded) << "split at " << split;
        EXPECT_EQ(all.substr(split).substr(consumed), "POST /next") << "split at " << split;
    }
}

struct Malformed {
    const char* name;
    std::string bytes;
};

void PrintTo(const Malformed& row, std::ostream* out) { *out << row.name; }

class ChunkedBodyDecoderMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(ChunkedBodyDecoderMalformed, IsRefusedWhateverTheSplit) {
    const std::string_view bytes = GetParam().bytes;
    for (size_t split = 0; split <= bytes.size(); ++split) {
        std::string body;
        size_t consumed = 0;
        EXPECT_EQ(FeedPieces({bytes.substr(0, split), bytes.substr(split)}, body, consumed),
                  ChunkedBodyDecoder::Status::Invalid)
            << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ChunkedBodyDecoderMalformed,
    ::testing::Values(Malformed{"SizeNotHex", "5g\r\nhello\r\n"}, Malformed{"SizeMissing", ";ext\r\n"},
                      Malformed{"SizeBeyondSixtyBits", "1000000000000000\r\n"},
                      Malformed{"DataLongerThanItsSize", "3\r\nhello\r\n0\r\n\r\n"},
                      Malformed{"SizeLineWithoutEnd", "5;" + std::string(ChunkedBodyDecoder::MAX_SIZE_LINE_BYTES, 'x')},
                      Malformed{"EndlessTrailer", "0\r\nX: " + std::string(ChunkedBodyDecoder::MAX_TRAILER_BYTES, 'y')}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace camsim

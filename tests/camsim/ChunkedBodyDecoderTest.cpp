#include "ChunkedBodyDecoder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace camsim {
namespace {

// A body, what it decodes to (none: refused) and what follows it unread.
struct BodyCase {
    const char* name;
    std::string bytes;
    std::optional<std::string> decoded;
    std::string after;
};

void PrintTo(const BodyCase& row, std::ostream* out) { *out << row.name; }

class ChunkedBodyDecoderSplit : public ::testing::TestWithParam<BodyCase> {};

TEST_P(ChunkedBodyDecoderSplit, EverySplitPointGivesTheSameResult) {
    const BodyCase& row = GetParam();
    const std::string_view all = row.bytes;
    for (size_t split = 0; split + row.after.size() <= all.size(); ++split) {
        ChunkedBodyDecoder decoder;
        std::string body;
        size_t consumed = 0;
        decoder.Feed(all.substr(0, split), body, consumed);
        const ChunkedBodyDecoder::Status status = decoder.Feed(all.substr(split), body, consumed);
        if (!row.decoded) {
            EXPECT_EQ(status, ChunkedBodyDecoder::Status::Invalid) << "split at " << split;
            continue;
        }
        EXPECT_EQ(status, ChunkedBodyDecoder::Status::Done) << "split at " << split;
        EXPECT_EQ(body, *row.decoded) << "split at " << split;
        EXPECT_EQ(all.substr(split).substr(consumed), row.after) << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ChunkedBodyDecoderSplit,
    ::testing::Values(
        // As curl sends an upload (chunk-size in lower-case hex), with an
        // extension and a trailer field added, then the next request's first bytes.
        BodyCase{"CapturedUpload",
                 "5\r\nhello\r\n1a;name=\"x\"\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\nExpires: never\r\n\r\nPOST /next",
                 "helloabcdefghijklmnopqrstuvwxyz", "POST /next"},
        BodyCase{"SizeNotHex", "5g\r\nhello\r\n", std::nullopt, ""},
        BodyCase{"SizeMissing", ";ext\r\n", std::nullopt, ""},
        BodyCase{"SizeBeyondSixtyBits", "1000000000000000\r\n", std::nullopt, ""},
        BodyCase{"DataLongerThanItsSize", "3\r\nhello\r\n0\r\n\r\n", std::nullopt, ""},
        BodyCase{"SizeLineWithoutEnd", "5;" + std::string(ChunkedBodyDecoder::MAX_SIZE_LINE_BYTES, 'x'), std::nullopt, ""},
        BodyCase{"EndlessTrailer", "0\r\nX: " + std::string(ChunkedBodyDecoder::MAX_TRAILER_BYTES, 'y'), std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace camsim

#include "common/Base64.h"

#include <gtest/gtest.h>

#include <vector>

namespace talvex {
namespace {

// RFC 4648 section 10 test vectors.
TEST(Base64, MatchesRfc4648VectorsBinaryBytesAndCredentials) {
    EXPECT_EQ(Base64Encode(std::string_view("")), "");
    EXPECT_EQ(Base64Encode(std::string_view("f")), "Zg==");
    EXPECT_EQ(Base64Encode(std::string_view("fo")), "Zm8=");
    EXPECT_EQ(Base64Encode(std::string_view("foo")), "Zm9v");
    EXPECT_EQ(Base64Encode(std::string_view("foob")), "Zm9vYg==");
    EXPECT_EQ(Base64Encode(std::string_view("fooba")), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode(std::string_view("foobar")), "Zm9vYmFy");
    const std::vector<uint8_t> bytes{0x00, 0xFF, 0xFE, 0x3F, 0xBF};
    EXPECT_EQ(Base64Encode(std::span<const uint8_t>(bytes)), "AP/+P78=");
    // RFC 7617 example for Basic authorisation.
    EXPECT_EQ(Base64Encode(std::string_view("Aladdin:open sesame")), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

} // namespace
} // namespace talvex

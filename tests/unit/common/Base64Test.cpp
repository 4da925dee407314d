#include "common/Base64.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace talvex {
namespace {

// RFC 4648 section 10 test vectors.
TEST(Base64, MatchesRfc4648VectorsBinaryBytesAndCredentials) {
    const std::pair<std::string_view, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}};
    for (const auto& [text, encoded] : vectors)
        EXPECT_EQ(Base64Encode(text), encoded) << text;
    const std::vector<uint8_t> bytes{0x00, 0xFF, 0xFE, 0x3F, 0xBF};
    EXPECT_EQ(Base64Encode(std::span<const uint8_t>(bytes)), "AP/+P78=");
    // RFC 7617 example for Basic authorisation.
    EXPECT_EQ(Base64Encode(std::string_view("Aladdin:open sesame")), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

} // namespace
} // namespace talvex

#include "common/StringFormat.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(StringFormat, FormatsExactlySized) {
    EXPECT_EQ(FormatString("%s:%hu", "10.0.0.1", static_cast<unsigned short>(554)), "10.0.0.1:554");
    EXPECT_EQ(FormatString("%s", ""), "");
    const std::string large(100000, 'x');
    const std::string text = FormatString("<%s>", large.c_str());
    EXPECT_EQ(text.size(), large.size() + 2);
    EXPECT_EQ(text.back(), '>');
}

} // namespace
} // namespace talvex

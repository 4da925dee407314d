#include "common/CResultDef.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(CResultDef, KeepsCodeDetailAndFormattedMessageANullFormatClearsIt) {
    CResultDef result;
    EXPECT_EQ(result.GetCode(), 0u);
    EXPECT_EQ(result.GetMessage(), "");
    result.SetResultEx(5, 404, "talvex::Test::Run: HTTP status %u from %s", 404u, "10.0.0.1:80");
    EXPECT_EQ(result.GetCode(), 5u);
    EXPECT_EQ(result.GetDetail(), 404u);
    EXPECT_EQ(result.GetMessage(), "talvex::Test::Run: HTTP status 404 from 10.0.0.1:80");
    result.SetResultEx(3, 4, nullptr); // a null format clears the message
    EXPECT_EQ(result.GetCode(), 3u);
    EXPECT_EQ(result.GetDetail(), 4u);
    EXPECT_EQ(result.GetMessage(), "");
}

} // namespace
} // namespace talvex

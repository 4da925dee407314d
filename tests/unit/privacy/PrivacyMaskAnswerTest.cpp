#include "privacy/PrivacyMaskAnswer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>

namespace talvex {
namespace {

// The answer bytes of a file under tests/data/privacy, after its first line (how it was made).
std::string ReadAnswer(const std::string& name) {
    std::ifstream file(std::string(FENNWICK_TEST_DATA_DIR) + "/privacy/" + name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return text.substr(text.find('\n') + 1);
}

std::optional<PrivacyMaskAnswer::CameraMasks> Read(const std::string& text) {
    return PrivacyMaskAnswer::Read(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

struct AnswerCase {
    const char* name;
    std::string answer;
    size_t masks;
    bool displayList;
    std::set<uint32_t> shown;
    const char* mask3; // empty: no mask 3
};

void PrintTo(const AnswerCase& value, std::ostream* out) { *out << value.name; }

class MaskAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(MaskAnswerTest, ReadsMasksAndWhichAreShown) {
    const auto camera = Read(GetParam().answer);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->masks.size(), GetParam().masks);
    EXPECT_EQ(camera->usesDisplayList, GetParam().displayList);
    std::set<uint32_t> shown;
    for (const auto& [number, mask] : camera->masks)
        if (mask.IsDisplayed())
            shown.insert(number);
    EXPECT_EQ(shown, GetParam().shown);
    EXPECT_EQ(camera->masks.contains(3) ? camera->masks.at(3).GetText() : "", GetParam().mask3);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MaskAnswerTest,
    ::testing::Values(
        AnswerCase{"PolygonsWithDisplayList", ReadAnswer("generation7-inq-masking.txt"), 8, true, {3, 5}, "100,100,300,100,300,200,100,200"},
        AnswerCase{"RectanglesShownEach", ReadAnswer("generation4-inq-fcb.txt"), 8, false, {3, 5}, "65,49,320,240"},
        AnswerCase{"PositionsNotInGroupsOfFive", "PrivacyMaskPosition=1,2,3,4,5,6,7", 0, false, {}, ""},
        AnswerCase{"MaskCountBeyondAnyCamera", "PrivacyMaxNum=4294967295&PrivacyMaskVertex3=1,1,9,1,9,9,1,9", 1, false, {}, "1,1,9,1,9,9,1,9"},
        AnswerCase{"EmptyDisplayListOnALineOfItsOwn", "PrivacyMaskPosition=3,0,0,0,0\r\nPrivacyDisplay=\r\n", 1, true, {}, "0,0,0,0"},
        AnswerCase{"ShownNumbersWithoutMaskIgnored", "PrivacyMaskPosition=3,0,0,0,0&PrivacyMonitor=2,x,3", 1, false, {3}, "0,0,0,0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrivacyMaskAnswerTest, NothingOrTooMuchIsNoAnswer) {
    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read(std::string(PrivacyMaskAnswer::kMaxAnswerBytes + 1, 'A')));
}

} // namespace
} // namespace talvex

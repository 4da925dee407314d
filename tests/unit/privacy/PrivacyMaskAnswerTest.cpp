#include "privacy/PrivacyMaskAnswer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace talvex {
namespace {

using PrivacyMaskAnswer::CameraMasks;

// The answer bytes of a file under tests/data/privacy, after its first line (how it was made).
std::string ReadAnswer(const std::string& name) {
    std::ifstream file(std::string(FENNWICK_TEST_DATA_DIR) + "/privacy/" + name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return text.substr(text.find('\n') + 1);
}

std::optional<CameraMasks> Read(const std::string& text) {
    return PrivacyMaskAnswer::Read(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::set<uint32_t> Shown(const CameraMasks& camera) {
    std::set<uint32_t> shown;
    for (const auto& [number, mask] : camera.masks)
        if (mask.IsDisplayed())
            shown.insert(number);
    return shown;
}

struct CapturedAnswer {
    const char* name;
    const char* file;
    bool usesVertices;
    bool usesDisplayList;
    uint32_t sample;
    const char* sampleText;
};

class CapturedAnswerTest : public ::testing::TestWithParam<CapturedAnswer> {};

TEST_P(CapturedAnswerTest, ReadsEveryMaskAndWhichAreShown) {
    const std::optional<CameraMasks> camera = Read(ReadAnswer(GetParam().file));
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->usesVertices, GetParam().usesVertices);
    EXPECT_EQ(camera->usesDisplayList, GetParam().usesDisplayList);
    EXPECT_EQ(camera->masks.size(), 8u);
    EXPECT_EQ(camera->masks.at(GetParam().sample).GetText(), GetParam().sampleText);
    EXPECT_EQ(Shown(*camera), (std::set<uint32_t>{3, 5}));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CapturedAnswerTest,
    ::testing::Values(CapturedAnswer{"PolygonsWithDisplayList", "generation7-inq-masking.txt", true, true, 5,
                                     "960,540,1919,540,1919,1079,960,1079"},
                      CapturedAnswer{"RectanglesSwitchedEach", "generation4-inq-fcb.txt", false, false, 3,
                                     "65,49,320,240"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OddAnswer {
    const char* name;
    std::string answer;
    size_t masks;
    bool usesDisplayList;
};

class OddAnswerTest : public ::testing::TestWithParam<OddAnswer> {};

TEST_P(OddAnswerTest, ReadsWhatCanBeTrusted) {
    const std::optional<CameraMasks> camera = Read(GetParam().answer);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->masks.size(), GetParam().masks);
    EXPECT_EQ(camera->usesDisplayList, GetParam().usesDisplayList);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OddAnswerTest,
    ::testing::Values(
        OddAnswer{"PositionsNotInGroupsOfFive", "PrivacyMaskPosition=1,2,3,4,5,6,7", 0, false},
        OddAnswer{"MaskCountBeyondAnyCamera", "PrivacyMaxNum=4294967295&PrivacyMaskVertex1=1,1,9,1,9,9,1,9", 1, false},
        OddAnswer{"EmptyPolygonIsNoMask", "PrivacyMaxNum=2&PrivacyMaskVertex1=&PrivacyMaskVertex2=1,1,9,1,9,9,1,9", 1,
                  false},
        OddAnswer{"EmptyDisplayListOnALineOfItsOwn", "PrivacyMaskPosition=1,0,0,0,0\r\nPrivacyDisplay=\r\n", 1, true},
        OddAnswer{"EmptyDisplayListFirst", "PrivacyDisplay=&PrivacyMaskPosition=1,0,0,0,0", 1, true},
        OddAnswer{"ShownNumbersWithoutMaskIgnored", "PrivacyMaskPosition=1,0,0,0,0&PrivacyMonitor=2,x,9", 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrivacyMaskAnswerTest, NothingOrTooMuchIsNoAnswer) {
    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read(std::string(PrivacyMaskAnswer::kMaxAnswerBytes + 1, 'A')));
}

} // namespace
} // namespace talvex

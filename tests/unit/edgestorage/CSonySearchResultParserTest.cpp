#include "edgestorage/CSonySearchResultParser.h"

#include "EdgeTimes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace talvex::test {
namespace {

std::string ReadData(const std::string& name) {
    std::ifstream file(std::string(FENNWICK_TEST_DATA_DIR) + "/edgestorage/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

CSonySearchResultParser ParseWhole(std::string_view text) {
    CSonySearchResultParser parser;
    parser.Feed(Bytes(text));
    parser.Finish();
    return parser;
}

struct AnswerCase {
    const char* name;
    const char* file;
    std::vector<SonyRecording> entries;
    std::optional<uint32_t> remain;
};

void PrintTo(const AnswerCase& value, std::ostream* out) { *out << value.name; }

class CapturedAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(CapturedAnswer, GivesTheSameRecordingsAtEverySplitPoint) {
    const std::string answer = ReadData(GetParam().file);
    ASSERT_FALSE(answer.empty());
    for (size_t split = 0; split <= answer.size(); ++split) {
        CSonySearchResultParser parser;
        parser.Feed(Bytes(std::string_view(answer).substr(0, split)));
        parser.Feed(Bytes(std::string_view(answer).substr(split)));
        parser.Finish();
        ASSERT_EQ(parser.GetEntries(), GetParam().entries) << "split at " << split;
        ASSERT_EQ(parser.GetRemainEntries(), GetParam().remain) << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CapturedAnswer,
    testing::Values(AnswerCase{"TwoRecordings",
                               "search-two-recordings.txt",
                               {{"rec-0-000123", At(9, 58, 0), At(10, 30, 0)},
                                {"rec-0-000124", At(10, 30, 0), At(11, 0, 0, 500)}},
                               0},
                    AnswerCase{"NoRecording", "search-none.txt", {}, 0},
                    AnswerCase{"MoreRemain",
                               "search-more-remain.txt",
                               {{"rec-0-000200", At(10, 0, 0), At(10, 5, 0)},
                                {"rec-0-000201", At(10, 5, 0), At(10, 10, 0)}},
                               2}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

struct LineCase {
    const char* name;
    std::string answer;
    size_t entries;
};

void PrintTo(const LineCase& value, std::ostream* out) { *out << value.name; }

class MalformedAnswer : public testing::TestWithParam<LineCase> {};

TEST_P(MalformedAnswer, KeepsOnlyCompleteRecordings) {
    EXPECT_EQ(ParseWhole(GetParam().answer).GetEntries().size(), GetParam().entries);
}

const std::string kGood = "StreamName=a,Start=20261206T100000.000Z,End=20261206T100500.000Z\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, MalformedAnswer,
    testing::Values(LineCase{"LastLineWithoutLineEnd", "StreamName=a,Start=20261206T100000.000Z,End=20261206T100500.000Z", 1},
                    LineCase{"MissingEnd", "StreamName=a,Start=20261206T100000.000Z\n" + kGood, 1},
                    LineCase{"EmptyName", "StreamName=,Start=20261206T100000.000Z,End=20261206T100500.000Z\n", 0},
                    LineCase{"BadDate", "StreamName=a,Start=20260230T100000.000Z,End=20261206T100500.000Z\n", 0},
                    LineCase{"NoZone", "StreamName=a,Start=20261206T100000.000,End=20261206T100500.000Z\n", 0},
                    LineCase{"KeyWithBlank", "StreamName =a,Start=20261206T100000.000Z,End=20261206T100500.000Z\n", 0},
                    LineCase{"OverlongLineSkipped",
                             "StreamName=" + std::string(CSonySearchResultParser::kMaxLineBytes, 'x') +
                                 ",Start=20261206T100000.000Z,End=20261206T100500.000Z\n" + kGood,
                             1},
                    LineCase{"BinaryNoise", std::string("\0\xff=,\n", 5) + kGood, 1}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

} // namespace
} // namespace talvex::test

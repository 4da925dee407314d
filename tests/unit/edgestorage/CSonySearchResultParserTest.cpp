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

// An answer (a captured one, or lines a camera could garble) and the complete
// recordings it holds.
struct AnswerCase {
    const char* name;
    std::string answer;
    std::vector<SonyRecording> entries;
    std::optional<uint32_t> remain;
};

void PrintTo(const AnswerCase& value, std::ostream* out) { *out << value.name; }

class SearchAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(SearchAnswer, GivesTheSameRecordingsAtEverySplitPoint) {
    const std::string_view answer = GetParam().answer;
    ASSERT_FALSE(answer.empty());
    for (size_t split = 0; split <= answer.size(); ++split) {
        CSonySearchResultParser parser;
        parser.Feed(Bytes(answer.substr(0, split)));
        parser.Feed(Bytes(answer.substr(split)));
        parser.Finish();
        ASSERT_EQ(parser.GetEntries(), GetParam().entries) << "split at " << split;
        ASSERT_EQ(parser.GetRemainEntries(), GetParam().remain) << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Captured, SearchAnswer,
    testing::Values(
        AnswerCase{"TwoRecordings", ReadData("search-two-recordings.txt"), {{"rec-0-000123", At(9, 58, 0), At(10, 30, 0)}, {"rec-0-000124", At(10, 30, 0), At(11, 0, 0, 500)}}, 0},
        AnswerCase{"NoRecording", ReadData("search-none.txt"), {}, 0},
        AnswerCase{"MoreRemain", ReadData("search-more-remain.txt"), {{"rec-0-000200", At(10, 0, 0), At(10, 5, 0)}, {"rec-0-000201", At(10, 5, 0), At(10, 10, 0)}}, 2}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

const std::string kGood = "StreamName=a,Start=20261206T100000.000Z,End=20261206T100500.000Z\n";
const SonyRecording kGoodEntry{"a", At(10, 0, 0), At(10, 5, 0)};

INSTANTIATE_TEST_SUITE_P(
    Malformed, SearchAnswer,
    testing::Values(AnswerCase{"LastLineWithoutLineEnd", kGood.substr(0, kGood.size() - 1), {kGoodEntry}, {}},
                    AnswerCase{"MissingEnd", "StreamName=a,Start=20261206T100000.000Z\n" + kGood, {kGoodEntry}, {}},
                    AnswerCase{"EmptyName", "StreamName=,Start=20261206T100000.000Z,End=20261206T100500.000Z\n", {}, {}},
                    AnswerCase{"BadDate", "StreamName=a,Start=20260230T100000.000Z,End=20261206T100500.000Z\n", {}, {}},
                    AnswerCase{"NoZone", "StreamName=a,Start=20261206T100000.000,End=20261206T100500.000Z\n", {}, {}},
                    AnswerCase{"KeyWithBlank", "StreamName =a,Start=20261206T100000.000Z,End=20261206T100500.000Z\n", {}, {}},
                    AnswerCase{"OverlongLineSkipped", "StreamName=" + std::string(CSonySearchResultParser::kMaxLineBytes, 'x') + ",Start=20261206T100000.000Z,End=20261206T100500.000Z\n" + kGood, {kGoodEntry}, {}},
                    AnswerCase{"BinaryNoise", std::string("\0\xff=,\n", 5) + kGood, {kGoodEntry}, {}}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

} // namespace
} // namespace talvex::test

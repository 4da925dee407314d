#include "device/SonyPropertyAnswers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace talvex::SonyPropertyAnswers {
namespace {

struct CountRow {
    const char* name;
    std::string answer;
    uint32_t generation;
    uint32_t inputs;
    uint32_t outputs;
};

void PrintTo(const CountRow& value, std::ostream* out) { *out << value.name; }

class IoCounts : public ::testing::TestWithParam<CountRow> {};

TEST_P(IoCounts, CountsFollowTheKeysTheCameraNames) {
    EXPECT_EQ(CountInputs(GetParam().answer), GetParam().inputs);
    EXPECT_EQ(CountOutputs(GetParam().answer, GetParam().generation), GetParam().outputs);
}

// Numbered sensors 1 to count.
std::string Sensors(uint32_t count) {
    std::string answer;
    for (uint32_t n = 1; n <= count; ++n)
        answer += "Sensor" + std::to_string(n) + "=0&";
    return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, IoCounts,
    ::testing::Values(
        CountRow{"NumberedUpToTheFirstGap", "Sensor1=0&Sensor2=1&Sensor4=0\r\nAlarmOut1Func=on&AlarmOut3Func=on", 5, 2, 1},
        CountRow{"LoneUnnumberedKeys", "Sensor=0&AlarmOutFunc=on", 3, 1, 1},
        CountRow{"AnnouncedOutputsWin", "AlmAoNum=2&AlarmOut1Func=on&AlarmOut2Func=on&AlarmOut3Func=on", 4, 0, 2},
        CountRow{"AnnouncementIsCapped", "AlmAoNum=4294967295", 4, 0, kMaxIoCount},
        CountRow{"SuffixedKeysFromGeneration6", "AlarmOutFuncAo1=on&AlarmOutFuncAo2=off&AlarmOut1Func=on", 6, 0, 2},
        CountRow{"NumberedKeysBelowGeneration6", "AlarmOutFuncAo1=on&AlarmOut1Func=on", 5, 0, 1},
        CountRow{"EmptyValuesCountAsAbsent", "Sensor1=&Sensor=&AlarmOut1Func=", 4, 0, 0},
        CountRow{"NoAnswer", "", 4, 0, 0},
        CountRow{"ManyNumberedKeysStopAtTheCap", Sensors(kMaxIoCount + 5), 4, kMaxIoCount, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct PrivacyRow {
    const char* name;
    const char* answer;
    uint32_t count;
    uint32_t kind;
};

void PrintTo(const PrivacyRow& value, std::ostream* out) { *out << value.name; }

class PrivacyAnswers : public ::testing::TestWithParam<PrivacyRow> {};

TEST_P(PrivacyAnswers, CountAndKind) {
    const PrivacyFacts facts = ReadPrivacyFacts(GetParam().answer, 8);
    EXPECT_EQ(facts.maskCount, GetParam().count);
    EXPECT_EQ(facts.maskKind, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PrivacyAnswers,
    ::testing::Values(PrivacyRow{"Positions", "PrivacyMaxNum=6&PrivacyMaskPosition=1,1,2,3,4", 6, kRectangleMasks},
                      PrivacyRow{"Vertices", "PrivacyMaxNum=4&PrivacyMaskVertex1=1,1,2,1,2,2,1,2", 4, kPolygonMasks},
                      PrivacyRow{"FcbWithoutMaximum", "PrivacyMaskPosition=&PrivacyMonitor=", 8, kRectangleMasks},
                      PrivacyRow{"MalformedMaximum", "PrivacyMaxNum=x8", 8, kRectangleMasks}),
    [](const auto& info) { return std::string(info.param.name); });

struct RateRow {
    const char* name;
    std::vector<std::string> tokens;
    std::map<uint16_t, std::string> texts;
};

void PrintTo(const RateRow& value, std::ostream* out) { *out << value.name; }

class FrameRateAnswers : public ::testing::TestWithParam<RateRow> {};

TEST_P(FrameRateAnswers, WholeRatesKeepTheCamerasText) {
    EXPECT_EQ(FrameRateTexts(GetParam().tokens), GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FrameRateAnswers,
    ::testing::Values(RateRow{"ExactWholeRateWins", {"29.97", "30", "7.5", "8"}, {{8, "8"}, {30, "30"}}},
                      RateRow{"NearRateStandsAlone", {"12.5", "29.97"}, {{13, "12.5"}, {30, "29.97"}}},
                      RateRow{"SlowRatesCountAsOne", {"0.5"}, {{1, "0.5"}}},
                      RateRow{"NonsenseDropped", {"", "x", "-5", "inf", "nan", "1e9"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex::SonyPropertyAnswers

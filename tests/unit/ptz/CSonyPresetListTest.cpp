#include "ptz/CSonyPresetList.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using Presets = std::map<uint32_t, std::string>;

struct ListCase {
    const char* answer;
    Presets expected;
};

const ListCase kCases[] = {
    {"PresetName=1,Door,2,Gate,3", {{0, "Door"}, {1, "Gate"}}},
    {"PresetNum=16&PresetName=3,Hall,1,Yard", {{2, "Hall"}, {0, "Yard"}}},
    {"PresetName=1,Door,0,Gate,3,Roof", {{0, "Door"}}},
    {"PresetName=1,Door,x,Gate", {{0, "Door"}}},
    {"PresetName=1,,2,Gate", {}},
    {"PresetName=", {}},
    {"Other=1,Door", {}},
    {"PresetName=99999999999,Door", {}},
};

TEST(CSonyPresetListTest, ReadsNumberNamePairsUntilTheFirstBadOne) {
    for (const ListCase& c : kCases)
        EXPECT_EQ(CSonyPresetList::Parse(c.answer), c.expected) << c.answer;
}

TEST(CSonyPresetListTest, StopsAtTheCap) {
    std::string answer = "PresetName=";
    for (size_t number = 1; number <= CSonyPresetList::kMaxPresets + 10; ++number)
        answer += std::to_string(number) + ",P" + std::to_string(number) + ",";
    EXPECT_EQ(CSonyPresetList::Parse(answer).size(), CSonyPresetList::kMaxPresets);
}

} // namespace
} // namespace talvex

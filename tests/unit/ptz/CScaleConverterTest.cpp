#include "ptz/CScaleConverter.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

struct ScaleCase {
    uint32_t low, high, value, expected;
    uint32_t sourceLow = 0, sourceHigh = 0; // the host's 1..16 unless set
};

// Host speeds 1..16 onto the camera ranges, ends and middle; outside values clamp;
// an empty source range gives the middle of the target.
const ScaleCase kCases[] = {
    {4, 20, 1, 4},    {4, 20, 16, 20},  {4, 20, 8, 11},  {4, 20, 0, 4},    {4, 20, 99, 20},
    {2, 8, 1, 2},     {2, 8, 16, 8},    {1, 8, 16, 8},   {1, 24, 1, 1},    {1, 24, 16, 24},
    {1, 100, 16, 100}, {1, 100, 1, 1},  {20, 4, 1, 4},   {5, 5, 16, 5},    {0, 9, 16, 9},
    {4, 20, 1, 12, 7, 7},
};

TEST(CScaleConverterTest, MapsTheHostScaleOntoTheTargetRange) {
    for (const ScaleCase& c : kCases) {
        CScaleConverter converter;
        if (c.sourceHigh != 0)
            converter.SetSourceRange(c.sourceLow, c.sourceHigh);
        converter.SetTargetRange(c.low, c.high);
        EXPECT_EQ(converter.Convert(c.value), c.expected) << c.low << ".." << c.high << " at " << c.value;
    }
}

} // namespace
} // namespace talvex

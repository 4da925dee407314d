// Times of the edge storage tests: a day's clock times as file times.
#pragma once

#include <cstdint>

namespace talvex::test {

constexpr uint64_t kUnitsPerSecond = 10000000;
// 2026-12-06 00:00:00 UTC in 100-ns units since 1601.
constexpr uint64_t kTestDay = 13440988800ull * kUnitsPerSecond;

constexpr uint64_t At(uint32_t hour, uint32_t minute, uint32_t second, uint32_t millisecond = 0) {
    return kTestDay + ((hour * 60ull + minute) * 60 + second) * kUnitsPerSecond + millisecond * 10000ull;
}

} // namespace talvex::test

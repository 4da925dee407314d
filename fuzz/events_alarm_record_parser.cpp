// Fuzzes the alarm record parser: the input is fed whole and again in two
// pieces split where its first byte says; both must give the same motion
// states (inputs below the record cap, where no record is dropped).
#include "events/CAlarmRecordParser.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

std::vector<bool> Parse(std::span<const uint8_t> first, std::span<const uint8_t> second) {
    talvex::CAlarmRecordParser parser;
    std::vector<bool> states = parser.Feed(first);
    for (bool state : parser.Feed(second))
        states.push_back(state);
    if (parser.BufferedBytes() > talvex::CAlarmRecordParser::kMaxRecordBytes)
        __builtin_trap();
    return states;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    const std::vector<bool> whole = Parse(input, {});
    if (size == 0 || size >= talvex::CAlarmRecordParser::kMaxRecordBytes)
        return 0;
    const size_t split = data[0] % (size + 1);
    if (Parse(input.first(split), input.subspan(split)) != whole)
        __builtin_trap();
    return 0;
}

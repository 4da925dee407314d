// Fuzzes the search answer reader: the input is fed whole and again in two
// pieces split where its first byte says; both must give the same recordings,
// every kept recording must be complete, and no line may grow past its cap.
#include "edgestorage/CSonySearchResultParser.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

talvex::CSonySearchResultParser Parse(std::span<const uint8_t> first, std::span<const uint8_t> second) {
    talvex::CSonySearchResultParser parser;
    parser.Feed(first);
    parser.Feed(second);
    if (parser.BufferedBytes() > talvex::CSonySearchResultParser::kMaxLineBytes)
        __builtin_trap();
    parser.Finish();
    return parser;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    const talvex::CSonySearchResultParser whole = Parse(input, {});
    for (const talvex::SonyRecording& recording : whole.GetEntries())
        if (recording.streamName.empty() || recording.start == 0 || recording.end == 0 ||
            talvex::CSonySearchResultParser::ParseTime(talvex::CSonySearchResultParser::FormatTime(recording.start)) !=
                recording.start)
            __builtin_trap();
    if (size == 0)
        return 0;
    const size_t split = data[0] % (size + 1);
    const talvex::CSonySearchResultParser pieces = Parse(input.first(split), input.subspan(split));
    if (pieces.GetEntries() != whole.GetEntries() || pieces.GetRemainEntries() != whole.GetRemainEntries())
        __builtin_trap();
    return 0;
}

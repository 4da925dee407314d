// The reference host's frame scanners: any bytes give parameter sets that are
// whole NAL units behind start codes, and MPEG-4 headers that are a prefix of
// the frame; never a read outside the frame. Seeds: the first bytes of
// camsim/clips/clip-320x240.h264 and .m4v (head -c 1200 / 600) and a few tiny units.
#include "ElementaryStream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> frame(data, size);
    std::vector<uint8_t> sets = fennwick_host::H264ParameterSets(frame);
    if (!sets.empty() && (sets.size() < 5 || sets[0] != 0 || sets[1] != 0 || sets[2] != 0 || sets[3] != 1))
        __builtin_trap();
    std::span<const uint8_t> headers = fennwick_host::Mpeg4ConfigurationHeaders(frame);
    if (!headers.empty() && (headers.data() != data || headers.size() >= size))
        __builtin_trap();
    return 0;
}

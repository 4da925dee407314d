// The RTSP answer parser over arbitrary bytes; the first byte picks the request kind.
#include "streaming/CRTSPResponseParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint32_t kind = uint32_t(data[0] % 6) + 1;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    talvex::CRTSPResponseParser parser;
    parser.Parse(text, kind);
    talvex::CRTSPResponseParser::FindHeaderNumber(text, "cseq");
    return 0;
}

// The session description parser over arbitrary bytes.
#include "streaming/CSDPResponseParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    talvex::CSDPResponseParser parser;
    parser.Parse(text);
    if (parser.GetFirstParameterSet().size() > talvex::CSDPResponseParser::MAX_DECODED_CONFIG_BYTES ||
        parser.GetConfiguration().size() > talvex::CSDPResponseParser::MAX_DECODED_CONFIG_BYTES)
        __builtin_trap();
    return 0;
}

// CH264RTPMediaParser over arbitrary RTP packet sequences.
#include "video/CH264RTPMediaParser.h"

#include "video_rtp_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    talvex::fuzz::RunDepacketiser<talvex::CH264RTPMediaParser>(std::span<const uint8_t>(data, size));
    return 0;
}

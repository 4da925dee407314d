// CJpegRTPMediaParser over arbitrary RTP packet sequences.
#include "video/CJpegRTPMediaParser.h"

#include "video_rtp_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    talvex::fuzz::RunDepacketiser<talvex::CJpegRTPMediaParser>(std::span<const uint8_t>(data, size));
    return 0;
}

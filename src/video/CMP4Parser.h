// Reads the picture size from the video object layer header of an MPEG-4
// visual elementary stream (ISO/IEC 14496-2 6.2.3).
#pragma once

#include <cstdint>
#include <span>

namespace talvex {

class CMP4Parser {
public:
    // Finds the first video_object_layer_start_code (00 00 01 20..2F) in
    // bytes and reads video_object_layer_width/height (13 bits each). False
    // when there is none, the layer is not rectangular or a size is 0.
    static bool ReadPictureSize(std::span<const uint8_t> bytes, uint16_t& width, uint16_t& height);
};

} // namespace talvex

#include "video/CMP4Parser.h"

#include "video/CBitReader.h"

namespace talvex {

namespace {

constexpr uint8_t kVolStartCodeFirst = 0x20;
constexpr uint8_t kVolStartCodeLast = 0x2F;
constexpr uint32_t kAspectRatioExtendedPar = 0xF;
constexpr uint32_t kShapeRectangular = 0;
constexpr uint32_t kShapeGrayscale = 3;

// Offset of the byte after the first VOL start code, or 0 when there is none.
size_t FindVolHeader(std::span<const uint8_t> bytes) {
    for (size_t i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] >= kVolStartCodeFirst &&
            bytes[i + 3] <= kVolStartCodeLast)
            return i + 4;
    }
    return 0;
}

void SkipVbvParameters(CBitReader& reader) {
    reader.SkipBits(15 + 1); // first_half_bit_rate, marker
    reader.SkipBits(15 + 1); // latter_half_bit_rate, marker
    reader.SkipBits(15 + 1); // first_half_vbv_buffer_size, marker
    reader.SkipBits(3);      // latter_half_vbv_buffer_size
    reader.SkipBits(11 + 1); // first_half_vbv_occupancy, marker
    reader.SkipBits(15 + 1); // latter_half_vbv_occupancy, marker
}

unsigned BitsForResolution(uint32_t resolution) {
    unsigned bits = 1;
    while (bits < 16 && (uint32_t(1) << bits) < resolution)
        ++bits;
    return bits;
}

} // namespace

bool CMP4Parser::ReadPictureSize(std::span<const uint8_t> bytes, uint16_t& width, uint16_t& height) {
    size_t header = FindVolHeader(bytes);
    if (header == 0)
        return false;
    CBitReader reader(bytes.subspan(header));
    reader.SkipBits(1 + 8);                  // random_accessible_vol, video_object_type_indication
    uint32_t verid = 1;
    if (reader.ReadFlag()) {                 // is_object_layer_identifier
        verid = reader.ReadBits(4);
        reader.SkipBits(3);                  // video_object_layer_priority
    }
    if (reader.ReadBits(4) == kAspectRatioExtendedPar)
        reader.SkipBits(8 + 8);              // par_width, par_height
    if (reader.ReadFlag()) {                 // vol_control_parameters
        reader.SkipBits(2 + 1);              // chroma_format, low_delay
        if (reader.ReadFlag())
            SkipVbvParameters(reader);
    }
    uint32_t shape = reader.ReadBits(2);
    if (shape == kShapeGrayscale && verid != 1)
        reader.SkipBits(4);                  // video_object_layer_shape_extension
    reader.SkipBits(1);                      // marker
    uint32_t timeIncrementResolution = reader.ReadBits(16);
    reader.SkipBits(1);                      // marker
    if (reader.ReadFlag())                   // fixed_vop_rate
        reader.SkipBits(BitsForResolution(timeIncrementResolution));
    if (shape != kShapeRectangular)
        return false;
    reader.SkipBits(1);                      // marker
    uint32_t layerWidth = reader.ReadBits(13);
    reader.SkipBits(1);                      // marker
    uint32_t layerHeight = reader.ReadBits(13);
    if (reader.Failed() || layerWidth == 0 || layerHeight == 0)
        return false;
    width = uint16_t(layerWidth);
    height = uint16_t(layerHeight);
    return true;
}

} // namespace talvex

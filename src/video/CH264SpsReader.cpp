#include "video/CH264SpsReader.h"

#include "video/CBitReader.h"

namespace talvex {

namespace {

// Profiles whose SPS carries chroma format, bit depths and scaling matrices.
bool HasChromaFormatFields(uint32_t profileIdc) {
    switch (profileIdc) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128:
    case 138: case 139: case 134: case 135:
        return true;
    default:
        return false;
    }
}

void SkipScalingList(CBitReader& reader, unsigned size) {
    int32_t lastScale = 8;
    int32_t nextScale = 8;
    for (unsigned j = 0; j < size && !reader.Failed(); ++j) {
        if (nextScale != 0) {
            int32_t delta = reader.ReadSignedExpGolomb();
            nextScale = (lastScale + delta + 256) % 256;
        }
        if (nextScale != 0)
            lastScale = nextScale;
    }
}

// Returns chroma_format_idc and whether the colour planes are coded separately.
uint32_t ReadChromaFormat(CBitReader& reader, uint32_t profileIdc, bool& separateColourPlanes) {
    separateColourPlanes = false;
    if (!HasChromaFormatFields(profileIdc))
        return 1; // 4:2:0
    uint32_t chromaFormatIdc = reader.ReadUnsignedExpGolomb();
    if (chromaFormatIdc == 3)
        separateColourPlanes = reader.ReadFlag();
    reader.ReadUnsignedExpGolomb(); // bit_depth_luma_minus8
    reader.ReadUnsignedExpGolomb(); // bit_depth_chroma_minus8
    reader.ReadFlag();              // qpprime_y_zero_transform_bypass_flag
    if (reader.ReadFlag()) {        // seq_scaling_matrix_present_flag
        unsigned lists = chromaFormatIdc != 3 ? 8 : 12;
        for (unsigned i = 0; i < lists && !reader.Failed(); ++i)
            if (reader.ReadFlag())
                SkipScalingList(reader, i < 6 ? 16 : 64);
    }
    return chromaFormatIdc;
}

bool SkipPictureOrderCount(CBitReader& reader) {
    uint32_t type = reader.ReadUnsignedExpGolomb();
    if (type == 0) {
        reader.ReadUnsignedExpGolomb(); // log2_max_pic_order_cnt_lsb_minus4
    } else if (type == 1) {
        reader.ReadFlag();                // delta_pic_order_always_zero_flag
        reader.ReadSignedExpGolomb();     // offset_for_non_ref_pic
        reader.ReadSignedExpGolomb();     // offset_for_top_to_bottom_field
        uint32_t cycle = reader.ReadUnsignedExpGolomb();
        if (cycle > 255)
            return false;
        for (uint32_t i = 0; i < cycle && !reader.Failed(); ++i)
            reader.ReadSignedExpGolomb();
    } else if (type > 2) {
        return false;
    }
    return true;
}

} // namespace

bool CH264SpsReader::ReadPictureSize(std::span<const uint8_t> nalUnit, uint16_t& width, uint16_t& height) {
    if (nalUnit.empty() || (nalUnit[0] & 0x1F) != kNalTypeSps)
        return false;
    CBitReader reader(nalUnit.subspan(1), true);
    uint32_t profileIdc = reader.ReadBits(8);
    reader.SkipBits(16);             // constraint flags, level_idc
    reader.ReadUnsignedExpGolomb();  // seq_parameter_set_id
    bool separateColourPlanes = false;
    uint32_t chromaFormatIdc = ReadChromaFormat(reader, profileIdc, separateColourPlanes);
    reader.ReadUnsignedExpGolomb();  // log2_max_frame_num_minus4
    if (!SkipPictureOrderCount(reader))
        return false;
    reader.ReadUnsignedExpGolomb();  // max_num_ref_frames
    reader.ReadFlag();               // gaps_in_frame_num_value_allowed_flag
    uint64_t widthInMbs = uint64_t(reader.ReadUnsignedExpGolomb()) + 1;
    uint64_t heightInMapUnits = uint64_t(reader.ReadUnsignedExpGolomb()) + 1;
    bool frameMbsOnly = reader.ReadFlag();
    if (!frameMbsOnly)
        reader.ReadFlag();           // mb_adaptive_frame_field_flag
    reader.ReadFlag();               // direct_8x8_inference_flag
    uint64_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    if (reader.ReadFlag()) {         // frame_cropping_flag
        cropLeft = reader.ReadUnsignedExpGolomb();
        cropRight = reader.ReadUnsignedExpGolomb();
        cropTop = reader.ReadUnsignedExpGolomb();
        cropBottom = reader.ReadUnsignedExpGolomb();
    }
    if (reader.Failed() || chromaFormatIdc > 3)
        return false;

    // Crop units, ITU-T H.264 7.4.2.1.1 (ChromaArrayType 0 counts in luma samples).
    uint32_t chromaArrayType = separateColourPlanes ? 0 : chromaFormatIdc;
    uint64_t subWidth = chromaArrayType == 1 || chromaArrayType == 2 ? 2 : 1;
    uint64_t subHeight = chromaArrayType == 1 ? 2 : 1;
    uint64_t fieldFactor = frameMbsOnly ? 1 : 2;
    uint64_t fullWidth = widthInMbs * 16;
    uint64_t fullHeight = heightInMapUnits * 16 * fieldFactor;
    uint64_t cropWidth = (cropLeft + cropRight) * subWidth;
    uint64_t cropHeight = (cropTop + cropBottom) * subHeight * fieldFactor;
    if (cropWidth >= fullWidth || cropHeight >= fullHeight)
        return false;
    uint64_t pictureWidth = fullWidth - cropWidth;
    uint64_t pictureHeight = fullHeight - cropHeight;
    if (pictureWidth > UINT16_MAX || pictureHeight > UINT16_MAX)
        return false;
    width = uint16_t(pictureWidth);
    height = uint16_t(pictureHeight);
    return true;
}

} // namespace talvex

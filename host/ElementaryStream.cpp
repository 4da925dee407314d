#include "ElementaryStream.h"

#include <talvex/ipcapture/HostObjects.h>

namespace fennwick_host {
namespace {

using talvex::ipcapture::MakeFourCC;

constexpr uint8_t kH264NalTypeMask = 0x1f;
constexpr uint8_t kH264Sps = 7;
constexpr uint8_t kH264Pps = 8;
constexpr uint8_t kMpeg4VopStartCode = 0xb6;
// Video object layer start codes are 0x20 to 0x2f.
constexpr uint8_t kMpeg4FirstVolStartCode = 0x20;
constexpr uint8_t kMpeg4LastVolStartCode = 0x2f;

// Offset of the next 00 00 01 prefix at or after from; bytes.size() when none.
size_t FindStartCode(std::span<const uint8_t> bytes, size_t from) {
    for (size_t index = from; index + 3 <= bytes.size(); ++index)
        if (bytes[index] == 0 && bytes[index + 1] == 0 && bytes[index + 2] == 1)
            return index;
    return bytes.size();
}

// One NAL unit: its payload between two start codes, without the zero bytes
// that pad a four-byte start code of the next unit.
struct NalUnit {
    size_t begin;
    size_t end;
};

std::vector<NalUnit> SplitAnnexB(std::span<const uint8_t> bytes) {
    std::vector<NalUnit> units;
    size_t prefix = FindStartCode(bytes, 0);
    while (prefix < bytes.size()) {
        size_t begin = prefix + 3;
        size_t next = FindStartCode(bytes, begin);
        size_t end = next;
        while (end > begin && next < bytes.size() && bytes[end - 1] == 0)
            --end;
        if (end > begin)
            units.push_back({begin, end});
        prefix = next;
    }
    return units;
}

} // namespace

std::optional<FrameKind> ClassifyFrameType(uint32_t typeCode) {
    switch (typeCode) {
    case MakeFourCC('H', '2', '6', '4'):
        return FrameKind{VideoCodec::H264, true};
    case MakeFourCC('I', '2', '6', '4'):
        return FrameKind{VideoCodec::H264, false};
    case MakeFourCC('D', 'I', 'V', 'X'):
        return FrameKind{VideoCodec::Mpeg4, true};
    case MakeFourCC('D', 'I', 'V', 'I'):
        return FrameKind{VideoCodec::Mpeg4, false};
    case MakeFourCC('J', 'P', 'E', 'G'):
        return FrameKind{VideoCodec::Jpeg, true};
    default:
        return std::nullopt;
    }
}

std::string_view VideoCodecName(VideoCodec codec) {
    switch (codec) {
    case VideoCodec::H264:
        return "H.264";
    case VideoCodec::Mpeg4:
        return "MPEG-4";
    case VideoCodec::Jpeg:
        return "MJPEG";
    }
    return "?";
}

namespace {

struct AudioCodecEntry {
    AudioCodec codec;
    uint32_t tag;
    std::string_view name;
};

constexpr AudioCodecEntry kAudioCodecs[] = {
    {AudioCodec::MuLaw, MakeFourCC('7', '1', '1', 'M'), "G.711 mu-law"},
    {AudioCodec::ALaw, MakeFourCC('7', '1', '1', 'A'), "G.711 A-law"},
    {AudioCodec::G726, MakeFourCC('7', '2', '6', '1'), "G.726"},
    {AudioCodec::Aac, MakeFourCC('A', 'A', 'C', '1'), "AAC"},
};

} // namespace

std::optional<AudioCodec> ClassifyAudioCodec(uint32_t fourcc) {
    for (const AudioCodecEntry& entry : kAudioCodecs)
        if (entry.tag == fourcc)
            return entry.codec;
    return std::nullopt;
}

uint32_t AudioCodecTag(AudioCodec codec) {
    return kAudioCodecs[size_t(codec)].tag;
}

std::string_view AudioCodecName(AudioCodec codec) {
    return kAudioCodecs[size_t(codec)].name;
}

std::vector<uint8_t> H264ParameterSets(std::span<const uint8_t> accessUnit) {
    static constexpr uint8_t kStartCode[] = {0, 0, 0, 1};
    std::vector<uint8_t> sets;
    bool haveSps = false;
    bool havePps = false;
    for (const NalUnit& unit : SplitAnnexB(accessUnit)) {
        uint8_t type = accessUnit[unit.begin] & kH264NalTypeMask;
        if (type != kH264Sps && type != kH264Pps)
            continue;
        haveSps = haveSps || type == kH264Sps;
        havePps = havePps || type == kH264Pps;
        sets.insert(sets.end(), std::begin(kStartCode), std::end(kStartCode));
        sets.insert(sets.end(), accessUnit.begin() + ptrdiff_t(unit.begin), accessUnit.begin() + ptrdiff_t(unit.end));
    }
    if (!haveSps || !havePps)
        sets.clear();
    return sets;
}

std::span<const uint8_t> Mpeg4ConfigurationHeaders(std::span<const uint8_t> keyFrame) {
    bool haveVol = false;
    for (size_t prefix = FindStartCode(keyFrame, 0); prefix + 3 < keyFrame.size();
         prefix = FindStartCode(keyFrame, prefix + 3)) {
        uint8_t code = keyFrame[prefix + 3];
        if (code >= kMpeg4FirstVolStartCode && code <= kMpeg4LastVolStartCode)
            haveVol = true;
        if (code == kMpeg4VopStartCode)
            return haveVol ? keyFrame.first(prefix) : std::span<const uint8_t>();
    }
    return {};
}

std::optional<std::vector<uint8_t>> TrackExtradata(VideoCodec codec, std::span<const uint8_t> keyFrame) {
    switch (codec) {
    case VideoCodec::H264: {
        std::vector<uint8_t> sets = H264ParameterSets(keyFrame);
        if (sets.empty())
            return std::nullopt;
        return sets;
    }
    case VideoCodec::Mpeg4: {
        std::span<const uint8_t> headers = Mpeg4ConfigurationHeaders(keyFrame);
        if (headers.empty())
            return std::nullopt;
        return std::vector<uint8_t>(headers.begin(), headers.end());
    }
    case VideoCodec::Jpeg:
        return std::vector<uint8_t>();
    }
    return std::nullopt;
}

} // namespace fennwick_host

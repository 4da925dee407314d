#include "MediaClips.h"

#include <fstream>
#include <iterator>

namespace camsim {

namespace {

constexpr uint8_t NAL_SLICE = 1;
constexpr uint8_t NAL_IDR = 5;
constexpr uint8_t NAL_SPS = 7;
constexpr uint8_t NAL_PPS = 8;
constexpr uint8_t MPEG4_VOP = 0xB6;
constexpr uint8_t MPEG4_GOV = 0xB3;
constexpr uint8_t MPEG4_VOS = 0xB0;
// Clip sizes that scripts/make-clips produces.
constexpr std::pair<uint16_t, uint16_t> CLIP_SIZES[] = {{320, 240}, {640, 480}};

// Offsets of the 00 00 01 start codes (the byte after them is at offset + 3).
std::vector<size_t> FindStartCodes(std::span<const uint8_t> stream) {
    std::vector<size_t> offsets;
    for (size_t i = 0; i + 3 <= stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            offsets.push_back(i);
            i += 2;
        }
    }
    return offsets;
}

bool IsVcl(const Bytes& nal) {
    const uint8_t type = nal[0] & 0x1F;
    return type == NAL_SLICE || type == NAL_IDR;
}

// A slice whose first_mb_in_slice is 0 (ue(v) "1" bit) starts a new picture.
bool StartsPicture(const Bytes& nal) {
    return nal.size() > 1 && (nal[1] & 0x80) != 0;
}

std::optional<Bytes> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* FileExtension(VideoCodec codec) {
    switch (codec) {
    case VideoCodec::H264:
        return "h264";
    case VideoCodec::Mpeg4:
        return "m4v";
    default:
        return "mjpeg";
    }
}

} // namespace

std::optional<VideoCodec> ParseVideoCodec(std::string_view text) {
    if (text == "h264")
        return VideoCodec::H264;
    if (text == "mpeg4")
        return VideoCodec::Mpeg4;
    if (text == "jpeg")
        return VideoCodec::Jpeg;
    return std::nullopt;
}

std::vector<Bytes> SplitAnnexB(std::span<const uint8_t> stream) {
    const std::vector<size_t> starts = FindStartCodes(stream);
    std::vector<Bytes> units;
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t begin = starts[i] + 3;
        size_t end = i + 1 < starts.size() ? starts[i + 1] : stream.size();
        // A four-byte start code leaves its leading zero behind the previous unit.
        while (end > begin && stream[end - 1] == 0 && i + 1 < starts.size())
            --end;
        if (end > begin)
            units.emplace_back(stream.begin() + std::ptrdiff_t(begin), stream.begin() + std::ptrdiff_t(end));
    }
    return units;
}

std::optional<Clip> CutH264(std::span<const uint8_t> stream) {
    Clip clip;
    clip.codec = VideoCodec::H264;
    ClipFrame frame;
    bool frameHasPicture = false;
    for (Bytes& nal : SplitAnnexB(stream)) {
        const uint8_t type = nal[0] & 0x1F;
        const bool startsAccessUnit = frameHasPicture && (!IsVcl(nal) || StartsPicture(nal));
        if (startsAccessUnit) {
            clip.frames.push_back(std::move(frame));
            frame = ClipFrame();
            frameHasPicture = false;
        }
        if (type == NAL_SPS)
            clip.sequenceParameterSet = nal;
        else if (type == NAL_PPS)
            clip.pictureParameterSet = nal;
        frame.key = frame.key || type == NAL_IDR;
        frameHasPicture = frameHasPicture || IsVcl(nal);
        frame.units.push_back(std::move(nal));
    }
    if (frameHasPicture)
        clip.frames.push_back(std::move(frame));
    if (clip.frames.empty() || clip.sequenceParameterSet.empty() || clip.pictureParameterSet.empty())
        return std::nullopt;
    return clip;
}

std::optional<Clip> CutMpeg4(std::span<const uint8_t> stream) {
    Clip clip;
    clip.codec = VideoCodec::Mpeg4;
    const std::vector<size_t> starts = FindStartCodes(stream);
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t begin = starts[i];
        if (begin + 4 >= stream.size() || stream[begin + 3] != MPEG4_VOP)
            continue;
        if (clip.frames.empty())
            clip.configuration.assign(stream.begin(), stream.begin() + std::ptrdiff_t(begin));
        // The VOP runs to the next VOP, group-of-VOP or sequence header.
        size_t end = stream.size();
        for (size_t j = i + 1; j < starts.size(); ++j) {
            const uint8_t code = stream[starts[j] + 3];
            if (code == MPEG4_VOP || code == MPEG4_GOV || code == MPEG4_VOS) {
                end = starts[j];
                break;
            }
        }
        ClipFrame frame;
        frame.key = (stream[begin + 4] >> 6) == 0; // I-VOP
        frame.units.emplace_back(stream.begin() + std::ptrdiff_t(begin), stream.begin() + std::ptrdiff_t(end));
        clip.frames.push_back(std::move(frame));
    }
    if (clip.frames.empty() || clip.configuration.size() < 4)
        return std::nullopt;
    return clip;
}

std::optional<Clip> CutJpeg(std::span<const uint8_t> stream) {
    Clip clip;
    clip.codec = VideoCodec::Jpeg;
    size_t position = 0;
    while (position + 4 <= stream.size()) {
        if (stream[position] != 0xFF || stream[position + 1] != 0xD8) {
            ++position;
            continue;
        }
        // Walk the segments to the scan, then the entropy-coded data to EOI.
        size_t cursor = position + 2;
        bool inScan = false;
        size_t end = 0;
        while (cursor + 1 < stream.size() && end == 0) {
            if (inScan) {
                if (stream[cursor] == 0xFF && stream[cursor + 1] == 0xD9)
                    end = cursor + 2;
                ++cursor;
                continue;
            }
            if (stream[cursor] != 0xFF || cursor + 4 > stream.size())
                return std::nullopt;
            const uint8_t marker = stream[cursor + 1];
            const size_t length = (size_t(stream[cursor + 2]) << 8) | stream[cursor + 3];
            inScan = marker == 0xDA;
            cursor += 2 + length;
        }
        if (end == 0)
            break;
        ClipFrame frame;
        frame.key = true;
        frame.units.emplace_back(stream.begin() + std::ptrdiff_t(position), stream.begin() + std::ptrdiff_t(end));
        clip.frames.push_back(std::move(frame));
        position = end;
    }
    if (clip.frames.empty())
        return std::nullopt;
    return clip;
}

ClipLibrary::ClipLibrary(std::string directory) : m_directory(std::move(directory)) {}

std::shared_ptr<const Clip> ClipLibrary::Get(VideoCodec codec, uint16_t width) {
    std::pair<uint16_t, uint16_t> size = CLIP_SIZES[0];
    for (const auto& candidate : CLIP_SIZES)
        if (candidate.first <= width)
            size = candidate;
    std::lock_guard lock(m_mutex);
    auto& slot = m_loaded[{codec, size.first}];
    if (slot)
        return slot;
    const std::string path = m_directory + "/clip-" + std::to_string(size.first) + "x" +
                             std::to_string(size.second) + "." + FileExtension(codec);
    const std::optional<Bytes> content = ReadFile(path);
    if (!content)
        return nullptr;
    std::optional<Clip> clip = codec == VideoCodec::H264    ? CutH264(*content)
                               : codec == VideoCodec::Mpeg4 ? CutMpeg4(*content)
                                                            : CutJpeg(*content);
    if (!clip)
        return nullptr;
    clip->width = size.first;
    clip->height = size.second;
    slot = std::make_shared<const Clip>(std::move(*clip));
    return slot;
}

} // namespace camsim

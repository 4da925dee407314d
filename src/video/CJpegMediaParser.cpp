#include "video/CJpegMediaParser.h"

#include "video/FrameTypes.h"

#include <algorithm>
#include <cstring>

namespace talvex {

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfFrameBaseline = 0xC0;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;

size_t FindMarkerPrefix(std::span<const uint8_t> piece, size_t from) {
    if (from >= piece.size())
        return piece.size();
    const void* found = std::memchr(piece.data() + from, kMarkerPrefix, piece.size() - from);
    return found ? size_t(static_cast<const uint8_t*>(found) - piece.data()) : piece.size();
}

// Where a frame header's bytes stop: the index of the marker byte of the
// first FF C0 (a new frame header) or FF D9 (end of image) at or after from,
// or the piece's size; ffBefore: the byte before `from` (maybe in the
// previous piece) is 0xFF. Stopping there, whatever the pieces, the header a
// picture gets never depends on where the body was split.
size_t FindHeaderStop(std::span<const uint8_t> piece, size_t from, bool ffBefore) {
    for (size_t index = from; index < piece.size(); ++index) {
        if (ffBefore && (piece[index] == kStartOfFrameBaseline || piece[index] == kEndOfImage))
            return index;
        ffBefore = piece[index] == kMarkerPrefix;
    }
    return piece.size();
}

} // namespace

CJpegMediaParser::CJpegMediaParser(IMediaParserOwner& owner) : CHttpMediaParser(owner) {}

void CJpegMediaParser::ProcessData(std::span<const uint8_t> piece) {
    if (piece.empty())
        return;
    size_t start = m_inFrame ? 0 : kNoStart;
    CollectFrameHeader(piece, 0, FindHeaderStop(piece, 0, m_pendingFF));
    size_t markerIndex = 0;
    bool ffInPreviousPiece = m_pendingFF;
    m_pendingFF = false;
    if (!ffInPreviousPiece)
        markerIndex = FindMarkerPrefix(piece, 0) + 1;
    while (markerIndex <= piece.size()) {
        if (markerIndex == piece.size()) {
            m_pendingFF = true;
            break;
        }
        HandleMarker(piece, markerIndex, ffInPreviousPiece, start);
        ffInPreviousPiece = false;
        // The marker byte may itself be the prefix of the next marker (FF FF D8).
        markerIndex = FindMarkerPrefix(piece, markerIndex) + 1;
    }
    if (m_inFrame && start != kNoStart)
        AppendToPicture(piece.subspan(start));
}

void CJpegMediaParser::HandleMarker(std::span<const uint8_t> piece, size_t markerIndex, bool ffInPreviousPiece,
                                    size_t& start) {
    switch (piece[markerIndex]) {
    case kStartOfFrameBaseline:
        m_frameHeaderMissing = kFrameHeaderBytes;
        CollectFrameHeader(piece, markerIndex + 1, FindHeaderStop(piece, markerIndex + 1, false));
        break;
    case kStartOfImage:
        m_frame.clear();
        m_inFrame = true;
        if (ffInPreviousPiece) {
            m_frame.push_back(kMarkerPrefix);
            start = markerIndex;
        } else {
            start = markerIndex - 1;
        }
        break;
    case kEndOfImage:
        // A header cut short by the end of the picture is no header.
        m_frameHeaderMissing = 0;
        if (m_inFrame)
            EndPicture(piece, markerIndex, start);
        m_frameTrim.EmptyAfterFrame(m_frame);
        m_inFrame = false;
        start = kNoStart;
        break;
    default:
        break;
    }
}

void CJpegMediaParser::CollectFrameHeader(std::span<const uint8_t> piece, size_t from, size_t end) {
    if (m_frameHeaderMissing == 0 || from >= end)
        return;
    size_t count = std::min(m_frameHeaderMissing, end - from);
    size_t offset = kFrameHeaderBytes - m_frameHeaderMissing;
    std::copy_n(piece.begin() + ptrdiff_t(from), count, m_frameHeader.begin() + ptrdiff_t(offset));
    m_frameHeaderMissing -= count;
    if (m_frameHeaderMissing == 0) {
        m_height = uint16_t((m_frameHeader[3] << 8) | m_frameHeader[4]);
        m_width = uint16_t((m_frameHeader[5] << 8) | m_frameHeader[6]);
    }
}

void CJpegMediaParser::EndPicture(std::span<const uint8_t> piece, size_t eoiIndex, size_t start) {
    // start is 0 when the picture began in an earlier piece.
    if (start == kNoStart)
        start = 0;
    if (AppendChecked(piece.subspan(start, eoiIndex + 1 - start)))
        DeliverFrame(kTypeJpeg);
}

void CJpegMediaParser::AppendToPicture(std::span<const uint8_t> bytes) {
    if (!AppendChecked(bytes))
        m_inFrame = false;
}

} // namespace talvex

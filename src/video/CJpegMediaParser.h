// Cuts JPEG pictures out of a motion-JPEG HTTP body by their markers (SOI to
// EOI); boundary lines and part headers between pictures are passed over.
// The picture size comes from the last SOF0 seen; until one has been seen no
// picture is delivered. Markers split across pieces are found all the same,
// so the result does not depend on how the body arrives.
//
// A picture that embeds another (a thumbnail with its own SOI/EOI) is cut at
// the inner EOI.
#pragma once

#include "video/CHttpMediaParser.h"

#include <array>
#include <cstddef>

namespace talvex {

class CJpegMediaParser : public CHttpMediaParser {
public:
    explicit CJpegMediaParser(IMediaParserOwner& owner);

    void ProcessData(std::span<const uint8_t> piece) override;

private:
    static constexpr size_t kNoStart = SIZE_MAX;
    // SOF0 bytes after the marker up to the end of the width: length, precision, height, width.
    static constexpr size_t kFrameHeaderBytes = 7;

    // markerIndex: index of the byte after 0xFF; the 0xFF is at markerIndex - 1,
    // or ended the previous piece when markerIndex is 0 and ffInPreviousPiece.
    void HandleMarker(std::span<const uint8_t> piece, size_t markerIndex, bool ffInPreviousPiece, size_t& start);
    // Collects SOF0 bytes from `from` up to (not including) `end`.
    void CollectFrameHeader(std::span<const uint8_t> piece, size_t from, size_t end);
    void EndPicture(std::span<const uint8_t> piece, size_t eoiIndex, size_t start);
    void AppendToPicture(std::span<const uint8_t> bytes);

    bool m_inFrame = false;
    // The previous piece ended with 0xFF, whose marker byte starts this one.
    bool m_pendingFF = false;
    std::array<uint8_t, kFrameHeaderBytes> m_frameHeader{};
    size_t m_frameHeaderMissing = 0;
};

} // namespace talvex

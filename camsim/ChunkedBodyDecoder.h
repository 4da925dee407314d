// The chunked transfer coding of a request body (RFC 9112 7.1), decoded as
// its bytes come in pieces of any size: pure code over bytes, no I/O. Chunk
// data is passed on as it arrives, so a chunk of any size needs no buffer; the
// size line (with its extensions) and the trailer section are capped.
//
//   chunk = chunk-size [ chunk-ext ] CRLF chunk-data CRLF
//   last-chunk = 1*("0") [ chunk-ext ] CRLF, then trailer fields, then CRLF
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace camsim {

class ChunkedBodyDecoder {
public:
    static constexpr size_t MAX_SIZE_LINE_BYTES = 1024;
    static constexpr size_t MAX_TRAILER_BYTES = 8192;
    // Hex digits of a chunk size: 15 keep it below 2^60.
    static constexpr size_t MAX_SIZE_DIGITS = 15;

    enum class Status { NeedMore, Done, Invalid };

    // Decodes from the start of input, appending body bytes to body; consumed
    // tells how many input bytes were used (after Done, what follows belongs
    // to the next request). Once Done or Invalid, it stays so.
    Status Feed(std::string_view input, std::string& body, size_t& consumed);

private:
    enum class State { SizeLine, Data, DataEnd, Trailer, Done, Invalid };

    // A complete size line: the size, or Invalid.
    void TakeSizeLine();
    // A complete trailer line: the blank line ends the body.
    void TakeTrailerLine();

    State m_state = State::SizeLine;
    std::string m_line;     // the size or trailer line read so far, CRLF included when complete
    size_t m_trailerBytes = 0;
    uint64_t m_dataLeft = 0;
    size_t m_dataEndSeen = 0; // bytes of the CRLF after chunk data
};

} // namespace camsim

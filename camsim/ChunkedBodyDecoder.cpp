#include "ChunkedBodyDecoder.h"

#include "HttpMessage.h"

#include <algorithm>

namespace camsim {

namespace {

constexpr std::string_view CRLF = "\r\n";

} // namespace

void ChunkedBodyDecoder::TakeSizeLine() {
    const std::string_view line = std::string_view(m_line).substr(0, m_line.size() - CRLF.size());
    // The size ends at the extensions (';'), or at whitespace before them.
    const size_t end = std::min(line.find_first_of("; \t"), line.size());
    uint64_t size = 0;
    for (size_t i = 0; i < end; ++i) {
        const int digit = HexValue(line[i]);
        if (digit < 0)
            return void(m_state = State::Invalid);
        size = size * 16 + uint64_t(digit);
    }
    if (end == 0 || end > MAX_SIZE_DIGITS)
        return void(m_state = State::Invalid);
    m_line.clear();
    m_dataLeft = size;
    m_dataEndSeen = 0;
    m_state = size == 0 ? State::Trailer : State::Data;
}

void ChunkedBodyDecoder::TakeTrailerLine() {
    const bool blank = m_line == CRLF;
    m_line.clear();
    if (blank)
        m_state = State::Done;
}

ChunkedBodyDecoder::Status ChunkedBodyDecoder::Feed(std::string_view input, std::string& body, size_t& consumed) {
    consumed = 0;
    while (consumed < input.size() && m_state != State::Done && m_state != State::Invalid) {
        const char c = input[consumed];
        switch (m_state) {
        case State::Data: {
            const size_t count = size_t(std::min<uint64_t>(m_dataLeft, input.size() - consumed));
            body.append(input.substr(consumed, count));
            consumed += count;
            m_dataLeft -= count;
            if (m_dataLeft == 0)
                m_state = State::DataEnd;
            continue;
        }
        case State::DataEnd:
            if (c != CRLF[m_dataEndSeen]) {
                m_state = State::Invalid;
                return Status::Invalid;
            }
            if (++m_dataEndSeen == CRLF.size())
                m_state = State::SizeLine;
            break;
        case State::SizeLine:
        case State::Trailer:
            m_line.push_back(c);
            if (m_state == State::Trailer && ++m_trailerBytes > MAX_TRAILER_BYTES)
                m_state = State::Invalid;
            else if (m_state == State::SizeLine && m_line.size() > MAX_SIZE_LINE_BYTES)
                m_state = State::Invalid;
            else if (m_line.ends_with(CRLF))
                m_state == State::SizeLine ? TakeSizeLine() : TakeTrailerLine();
            break;
        default:
            break;
        }
        ++consumed;
    }
    return m_state == State::Done ? Status::Done : m_state == State::Invalid ? Status::Invalid : Status::NeedMore;
}

} // namespace camsim

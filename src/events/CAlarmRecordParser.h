// Cuts the camera's alarm-data stream ("/command/alarmdata.cgi", a multipart
// text answer) into records and tells, per record, whether a detection window
// reports motion. Pure code over bytes: pieces of any size go in, motion
// states come out; no I/O, so it can be fuzzed and split-tested on its own.
//
//   --boundary\r\n                      <- a record starts at a "--" marker
//   Content-Type: text/plain\r\n
//   \r\n
//   MdWin1=0&MdWin2=1&...\r\n           <- window items, '&', CR or LF apart
//   --boundary\r\n                      <- ... and ends at the next marker,
//                                       or where a declared Content-Length ends
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvex {

class CAlarmRecordParser {
public:
    // A record that has not ended after this many bytes is not a record the
    // camera sends (they are a few hundred bytes): it is dropped, so a peer
    // cannot make the driver hold unbounded memory.
    static constexpr size_t kMaxRecordBytes = 64 * 1024;
    static constexpr std::string_view kRecordMarker = "--";
    // The windows examined in every record, in this order.
    static constexpr std::array<std::string_view, 10> kWindows = {
        "OdWin1", "OdWin2", "OdWin3", "OdWin4", "MdWin1", "MdWin2", "MdWin3", "MdWin4", "AdWin1", "AdWin2"};

    // Appends a piece of the stream; returns the motion state of every record
    // that the piece completed, in stream order. A record is complete when its
    // part's declared Content-Length has arrived (at once, not a second later
    // with the next record), else when the next marker has come: one cut off
    // by the end of the stream may miss the window that reports motion, so it
    // is never read.
    std::vector<bool> Feed(std::span<const uint8_t> piece);
    // Forgets everything held (a new stream begins).
    void Reset() { m_buffer.clear(); }
    size_t BufferedBytes() const { return m_buffer.size(); }

    // Motion when any window's value is exactly "1"; nullopt for a record
    // that names none of the windows (a preamble, a closing boundary).
    static std::optional<bool> ParseRecord(std::string_view record);

private:
    // Where the record at the start of the buffer ends, or npos while it may go on.
    size_t RecordEnd() const;
    // The end of a body whose part header declares its length, once it has all arrived.
    size_t DeclaredBodyEnd(size_t nextMarker) const;
    // Drops text before the first marker; keeps a lone trailing '-', which may
    // be the first half of a marker split across pieces.
    void DiscardBeforeMarker();

    std::string m_buffer;
};

} // namespace talvex

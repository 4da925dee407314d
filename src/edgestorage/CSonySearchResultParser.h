// Reads the camera's answer to "/command/search?mode=simple&Start=…&End=…":
// one line per recording, items "Key=Value" separated by ',':
//
//   StreamName=rec-0-000123,Start=20261206T205800.000Z,End=20261206T213000.000Z\r\n
//   Remain entry =0\r\n
//
// Keys are compared exactly ("Remain entry " carries its trailing blank).
// Pure code over bytes: pieces of any size go in, the recordings come out in
// answer order; no I/O, so it can be fuzzed and split-tested on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvex {

struct SonyRecording {
    std::string streamName;
    uint64_t start = 0; // 100-ns units since 1601 UTC
    uint64_t end = 0;

    friend bool operator==(const SonyRecording&, const SonyRecording&) = default;
};

class CSonySearchResultParser {
public:
    // A line that has not ended after this many bytes is not one the camera
    // writes (a few dozen bytes): it is skipped up to its end, so a peer
    // cannot make the driver hold unbounded memory.
    static constexpr size_t kMaxLineBytes = 4096;
    // Recordings kept from one answer; later lines are read but not kept.
    static constexpr size_t kMaxEntries = 10000;
    static constexpr std::string_view kStreamNameKey = "StreamName";
    static constexpr std::string_view kStartKey = "Start";
    static constexpr std::string_view kEndKey = "End";
    static constexpr std::string_view kRemainKey = "Remain entry ";

    void Feed(std::span<const uint8_t> piece);
    // The answer has ended: a last line without its line end counts.
    void Finish();

    const std::vector<SonyRecording>& GetEntries() const { return m_entries; }
    // The camera's count of further entries, when it gave one.
    std::optional<uint32_t> GetRemainEntries() const { return m_remain; }
    size_t BufferedBytes() const { return m_line.size(); }

    // The camera's UTC time text "YYYYMMDDThhmmss.mmmZ" of a time; empty for 0
    // or a time beyond year 9999.
    static std::string FormatTime(uint64_t time);
    // The time of such a text (the fraction may be left out); 0 when the text
    // is not one or names no valid date and time.
    static uint64_t ParseTime(std::string_view text);

private:
    void ParseLine(std::string_view line);

    std::string m_line;
    bool m_skippingLine = false;
    std::vector<SonyRecording> m_entries;
    std::optional<uint32_t> m_remain;
};

} // namespace talvex

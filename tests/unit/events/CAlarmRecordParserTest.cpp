#include "events/CAlarmRecordParser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace talvex {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Every state the pieces of a stream yield.
std::vector<bool> ParseInPieces(const std::vector<std::string_view>& pieces) {
    CAlarmRecordParser parser;
    std::vector<bool> states;
    for (std::string_view piece : pieces)
        for (bool state : parser.Feed(Bytes(piece)))
            states.push_back(state);
    return states;
}

// The marker of the record that follows, which completes the last one of a case.
constexpr std::string_view kNextRecord = "--alarmdata\r\n";

// Records as the camera frames them in its multipart answer.
std::string Record(std::string_view items) {
    return "--alarmdata\r\nContent-Type: text/plain\r\n\r\n" + std::string(items) + "\r\n";
}

struct StreamCase {
    const char* name;
    std::string stream;
    std::vector<bool> states;
};

std::vector<StreamCase> StreamCases() {
    return {
        {"one quiet record", Record("MdWin1=0&MdWin2=0&MdWin3=0&MdWin4=0"), {false}},
        {"motion in the third window", Record("MdWin1=0&MdWin2=0&MdWin3=1&MdWin4=0"), {true}},
        {"ten is no motion", Record("MdWin3=10"), {false}},
        {"records in a row",
         Record("MdWin1=0") + Record("MdWin1=1") + Record("MdWin1=1") + Record("MdWin1=0"),
         {false, true, true, false}},
        {"items on separate lines", "--b\r\nOdWin1=0\r\nAdWin2=1\r\n--b\r\nAdWin2=0\n", {true, false}},
        {"closing boundary is no record", Record("MdWin2=1") + "--alarmdata--\r\n", {true}},
        {"text before the first marker is dropped", "garbage MdWin1=1\r\n" + Record("MdWin1=0"), {false}},
        {"record without windows reports nothing",
         Record("Sensor1=1&Other=1&MdWin5=1&OdWin0=1&AdWin3=1&mdwin1=1&MdWin=1"), {}},
        {"no marker at all", "MdWin1=1&MdWin2=1\r\n", {}},
        {"value with spaces is not 1", Record("MdWin1= 1 &MdWin2=1x"), {false}},
        {"name with spaces around it", Record(" MdWin4 =1"), {true}},
        {"any window decides whatever its position", Record("AdWin2=1&OdWin1=0") + Record("OdWin1=0&AdWin2=0&MdWin3=0"),
         {true, false}},
        {"longer name holding a window name", Record("XMdWin1=1&MdWin11=1&MdWin1=0"), {false}},
        {"empty stream", "", {}},
        {"declared length ends the record",
         "--b\r\nContent-Length: 10\r\n\r\nMdWin1=1\r\n--b\r\ncontent-length:10\r\n\r\nMdWin1=0\r\n",
         {true, false}},
        {"declared length in any letter case bounds the body",
         "--b\r\ncontent-length:10\r\n\r\nMdWin1=0\r\nMdWin2=1\r\n", {false}},
        {"declared length past the next marker is not trusted",
         "--b\r\nContent-Length: 99\r\n\r\nMdWin1=1\r\n--b\r\n\r\nMdWin1=0\r\n", {true, false}},
    };
}

TEST(CAlarmRecordParser, GivesTheSameStatesWholeAtEverySplitPointAndByteByByte) {
    for (const StreamCase& test : StreamCases()) {
        SCOPED_TRACE(test.name);
        const std::string stream = test.stream + std::string(kNextRecord);
        const std::string_view whole = stream;
        EXPECT_EQ(ParseInPieces({whole}), test.states);
        std::vector<std::string_view> bytes;
        for (size_t split = 0; split <= whole.size(); ++split) {
            ASSERT_EQ(ParseInPieces({whole.substr(0, split), whole.substr(split)}), test.states) << "split " << split;
            bytes.push_back(whole.substr(split, 1));
        }
        EXPECT_EQ(ParseInPieces(bytes), test.states) << "byte by byte";
    }
}

TEST(CAlarmRecordParser, EveryWindowOfTheListReportsMotion) {
    for (std::string_view window : CAlarmRecordParser::kWindows)
        EXPECT_EQ(CAlarmRecordParser::ParseRecord(Record(std::string(window) + "=1")), true) << window;
}

// Text without markers is not kept; half a marker waits for its second dash,
// which begins a record that never ends and is dropped at the cap.
TEST(CAlarmRecordParser, TextWithoutMarkersAndARecordThatNeverEndsAreNotKept) {
    CAlarmRecordParser parser;
    const std::string noise(100000, 'a');
    parser.Feed(Bytes(noise));
    EXPECT_EQ(parser.BufferedBytes(), 0u);
    parser.Feed(Bytes("abc-"));
    EXPECT_EQ(parser.BufferedBytes(), 1u) << "half a marker";
    const std::string head = "-b\r\nMdWin1=1&";
    parser.Feed(Bytes(head));
    const std::string filler(4096, 'x');
    for (size_t fed = head.size(); fed <= CAlarmRecordParser::kMaxRecordBytes; fed += filler.size())
        parser.Feed(Bytes(filler));
    EXPECT_EQ(parser.BufferedBytes(), 0u);
    // What follows the dropped record is read as usual.
    EXPECT_EQ(parser.Feed(Bytes(Record("MdWin1=0") + "--")), std::vector<bool>{false});
}

// A record with its length is read as soon as its body has come; one without
// only when the next begins (it may still be cut off); a reset forgets it.
TEST(CAlarmRecordParser, ARecordIsReadOnceItsEndIsKnownAndResetForgetsIt) {
    CAlarmRecordParser parser;
    EXPECT_TRUE(parser.Feed(Bytes("--b\r\nContent-Length: 10\r\n\r\nMdWin1=1\r")).empty());
    EXPECT_EQ(parser.Feed(Bytes("\n")), std::vector<bool>{true});
    EXPECT_TRUE(parser.Feed(Bytes(Record("MdWin1=0"))).empty());
    EXPECT_EQ(parser.Feed(Bytes("-")), std::vector<bool>{});
    EXPECT_EQ(parser.Feed(Bytes("-")), std::vector<bool>{false});
    parser.Feed(Bytes("b\r\n\r\nMdWin1=1\r\n"));
    parser.Reset();
    EXPECT_EQ(parser.Feed(Bytes(kNextRecord)), std::vector<bool>{});
}

} // namespace
} // namespace talvex

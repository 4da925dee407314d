#include "http/InquiryValue.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

struct InquiryCase {
    const char* rule;
    const char* text;
    const char* key;
    const char* expected;
    const char* valueSeparator = "=";
    const char* itemSeparators = nullptr; // nullptr: the default ones
};

TEST(InquiryValue, ReadsTheItemByItsWholeName) {
    const InquiryCase cases[] = {
        {"items joined by '&'", "ModelName=SNC-CH210&SoftVersion=1.82", "ModelName", "SNC-CH210"},
        {"value at the end of the text", "ModelName=SNC-CH210&SoftVersion=1.82", "SoftVersion", "1.82"},
        {"items on CRLF lines", "ModelName=SNC-Z20N\r\nSoftVersion=1.12\nSerial=7\r\n", "SoftVersion", "1.12"},
        {"items on LF lines", "ModelName=SNC-Z20N\r\nSoftVersion=1.12\nSerial=7\r\n", "Serial", "7"},
        {"spaces and tabs around the name", "a=1& \tModelName \t=SNC-RZ25N&b=2", "ModelName", "SNC-RZ25N"},
        {"a tab before the first name", "\tModelName=X", "ModelName", "X"},
        {"key inside a longer name", "JpImageSize=640", "ImageSize", ""},
        {"key inside a longer name, then the item", "JpImageSize=640&ImageSize=320", "ImageSize", "320"},
        {"key as the start of a longer name", "ImageSize1=640,480", "ImageSize", ""},
        {"key inside a value, then the item", "Title=ModelName&ModelName=SNC-DF50P", "ModelName", "SNC-DF50P"},
        {"key inside a value only", "Title=ModelName", "ModelName", ""},
        {"empty value before another item", "AudioIn=&AudioOut=on", "AudioIn", ""},
        {"empty value at the end", "AudioOut=on&AudioIn=", "AudioIn", ""},
        {"empty value before a line end", "AudioIn=\r\nX=1", "AudioIn", ""},
        {"commas belong to the value", "PresetName=1,Home,2,Door&X=1", "PresetName", "1,Home,2,Door"},
        {"a second '=' belongs to the value", "Key=a=b&X=1", "Key", "a=b"},
        {"item without '=' skipped", "ModelName&ModelName=A", "ModelName", "A"},
        {"only an item without '='", "ModelName", "ModelName", ""},
        {"empty text", "", "A", ""},
        {"empty key", "A=1", "", ""},
        {"empty value separator", "A=1", "A", "", "", "&"},
        {"empty item separators", "A=1", "A", "", "=", ""},
        // Audio output codecs are read with '&' as the only item separator.
        {"'&' alone keeps line ends in the value", "A=x\ny&B=2", "A", "x\ny", "=", "&"},
        {"other separators", "A: 1;B: 2", "B", "2", ": ", ";"},
    };
    for (const InquiryCase& test : cases) {
        const std::string value = test.itemSeparators
                                      ? GetInquiryValue(test.text, test.key, test.valueSeparator, test.itemSeparators)
                                      : GetInquiryValue(test.text, test.key);
        EXPECT_EQ(value, test.expected) << test.rule;
    }
}

} // namespace
} // namespace talvex

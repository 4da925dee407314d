#include "http/InquiryValue.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(InquiryValue, ReadsItemsJoinedByAmpersand) {
    const std::string text = "ModelName=SNC-CH210&SoftVersion=1.82";
    EXPECT_EQ(GetInquiryValue(text, "ModelName"), "SNC-CH210");
    EXPECT_EQ(GetInquiryValue(text, "SoftVersion"), "1.82"); // value at the end of the text
}

TEST(InquiryValue, ReadsItemsOnLines) {
    const std::string text = "ModelName=SNC-Z20N\r\nSoftVersion=1.12\nSerial=7\r\n";
    EXPECT_EQ(GetInquiryValue(text, "SoftVersion"), "1.12");
    EXPECT_EQ(GetInquiryValue(text, "Serial"), "7");
}

TEST(InquiryValue, NameMayHaveSpacesAndTabsAround) {
    EXPECT_EQ(GetInquiryValue("a=1& \tModelName \t=SNC-RZ25N&b=2", "ModelName"), "SNC-RZ25N");
    EXPECT_EQ(GetInquiryValue("\tModelName=X", "ModelName"), "X");
}

TEST(InquiryValue, KeyInsideALongerNameDoesNotMatch) {
    EXPECT_EQ(GetInquiryValue("JpImageSize=640", "ImageSize"), "");
    EXPECT_EQ(GetInquiryValue("JpImageSize=640&ImageSize=320", "ImageSize"), "320");
    EXPECT_EQ(GetInquiryValue("ImageSize1=640,480", "ImageSize"), "");
}

TEST(InquiryValue, KeyInsideAValueDoesNotHideTheRealItem) {
    EXPECT_EQ(GetInquiryValue("Title=ModelName&ModelName=SNC-DF50P", "ModelName"), "SNC-DF50P");
    EXPECT_EQ(GetInquiryValue("Title=ModelName", "ModelName"), "");
}

TEST(InquiryValue, EmptyValues) {
    EXPECT_EQ(GetInquiryValue("AudioIn=&AudioOut=on", "AudioIn"), "");
    EXPECT_EQ(GetInquiryValue("AudioOut=on&AudioIn=", "AudioIn"), "");
    EXPECT_EQ(GetInquiryValue("AudioIn=\r\nX=1", "AudioIn"), "");
}

TEST(InquiryValue, ValueRunsToTheNextSeparatorOnly) {
    EXPECT_EQ(GetInquiryValue("PresetName=1,Home,2,Door&X=1", "PresetName"), "1,Home,2,Door");
    EXPECT_EQ(GetInquiryValue("Key=a=b&X=1", "Key"), "a=b");
}

TEST(InquiryValue, ItemWithoutValueSeparatorIsSkipped) {
    EXPECT_EQ(GetInquiryValue("ModelName&ModelName=A", "ModelName"), "A");
    EXPECT_EQ(GetInquiryValue("ModelName", "ModelName"), "");
}

TEST(InquiryValue, EmptyArgumentsGiveEmpty) {
    EXPECT_EQ(GetInquiryValue("", "A"), "");
    EXPECT_EQ(GetInquiryValue("A=1", ""), "");
    EXPECT_EQ(GetInquiryValue("A=1", "A", "", "&"), "");
    EXPECT_EQ(GetInquiryValue("A=1", "A", "=", ""), "");
}

TEST(InquiryValue, OtherSeparators) {
    // Audio output codecs are read with '&' as the only item separator.
    EXPECT_EQ(GetInquiryValue("A=x\ny&B=2", "A", "=", "&"), "x\ny");
    EXPECT_EQ(GetInquiryValue("A: 1;B: 2", "B", ": ", ";"), "2");
}

} // namespace
} // namespace talvex

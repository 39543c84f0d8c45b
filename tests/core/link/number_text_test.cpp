#include <gtest/gtest.h>

#include "core/link/number_text.h"

namespace dmm {
namespace {

TEST(NumberText, TextToNumberIsStrictAboutEveryCharacter) {
    EXPECT_EQ(DecText("123"), 123);
    EXPECT_EQ(DecText("-45"), -45);
    EXPECT_EQ(DecText("12a"), 0);
    EXPECT_EQ(DecText("--1"), 0);
    EXPECT_EQ(DecText(" 1"), 0);
    EXPECT_EQ(HexText("fF"), 255);
    EXPECT_EQ(HexText("1G"), 0);
    EXPECT_EQ(HexText("-1"), 0);
    EXPECT_EQ(BinText("1011"), 11);
    EXPECT_EQ(BinText("102"), 0);
    EXPECT_EQ(DecText(""), 0);
}

TEST(NumberText, AbsurdlyLongDigitStringsDoNotOverflowIntoUndefinedBehaviour) {
    // Only the absence of a sanitizer report matters here; the value is garbage in, garbage out.
    (void)DecText(std::string(200, '9'));
    (void)HexText(std::string(200, 'F'));
    SUCCEED();
}

TEST(NumberText, NumberToTextPadsButNeverCuts) {
    EXPECT_EQ(HexStr(0x1A, 4), "001A");
    EXPECT_EQ(HexStr(0x1234, 2), "1234");
    EXPECT_EQ(HexStr(0, 0), "0");
    EXPECT_EQ(DecStr(7, 3), "007");
    EXPECT_EQ(DecStr(65535, 2), "65535");
    EXPECT_EQ(BinStr(5, 8), "00000101");
    EXPECT_EQ(BinStr(0, 0), "");
    EXPECT_EQ(BinStr(0, 2), "00");
    EXPECT_EQ(HexText32(0), "0");
    EXPECT_EQ(HexText32(0xDEADBEEF), "DEADBEEF");
    EXPECT_EQ(HexText32(0x00F0), "F0");
}

}  // namespace
}  // namespace dmm

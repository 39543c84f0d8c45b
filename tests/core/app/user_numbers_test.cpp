#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "core/app/user_numbers.h"

namespace dmm {
namespace {

constexpr RealRule kResistance{"a resistance", 0, 1e8, true, false, "R", "\u03A9", true};
constexpr WholeRule kCount{"a number of readings", 1, 100000};

TEST(UserNumbers, TextThatIsNoNumberInRangeIsRefusedInOneShape) {
    for (const char* text : {"nan", "inf", "-inf", "-1", "0", "1e300", "0x", "12abc", "", " ", "1e",
                             "1,5", "100000001", "--1"}) {
        std::string why;
        EXPECT_FALSE(ReadReal(text, kResistance, &why)) << text;
        EXPECT_NE(why.find(" is not a resistance (0 < R \u2264 100 M\u03A9)"), std::string::npos)
            << text << ": " << why;
    }
    std::string why;
    ReadReal("-10000", kResistance, &why);
    EXPECT_EQ(why, "-10000 is not a resistance (0 < R \u2264 100 M\u03A9)");
    ReadReal("", kResistance, &why);
    EXPECT_EQ(why.rfind("\"\" is not", 0), 0u);
    // A long text is shown cut, so that a refusal stays one line.
    ReadWhole(std::string(400, '9'), kCount, &why);
    EXPECT_LT(why.size(), 80u);
    EXPECT_EQ(why,
              std::string(24, '9') + "... is not a number of readings (1 \u2264 N \u2264 100000)");
}

TEST(UserNumbers, NumbersAreReadInEveryFormTheBenchUsesAndInEveryLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(ReadReal(" 4.7e3 ", kResistance), 4700.0);
    EXPECT_EQ(ReadReal("+12.", kResistance), 12.0);
    std::setlocale(LC_NUMERIC, previous.c_str());
    constexpr WholeRule kByte{"a byte", 0, 0xFF};
    EXPECT_EQ(ReadWhole("0x5A", kByte), 0x5A);
    EXPECT_EQ(ReadWhole("5Ah", kByte), 0x5A);
    EXPECT_EQ(ReadWhole("0b1010", kByte), 10);
    EXPECT_FALSE(ReadWhole("1.5", kByte));
    EXPECT_FALSE(ReadWhole("256", kByte));
    // Beyond 63 bits: a number, outside the range, never wrapped into it.
    EXPECT_FALSE(ReadWhole("18446744073709551617", {"a count", 0, 10}));
    constexpr WholeRule kHexCell{"a reload byte", 0, 0xFF, "CTA", "", WholeForm::Hex, false, 2};
    EXPECT_EQ(ReadWhole("c0", kHexCell), 0xC0);
    std::string why;
    EXPECT_FALSE(ReadWhole("0C0", kHexCell, &why));  // wider than the field
    EXPECT_EQ(
        why,
        "0C0 is not a reload byte (00 \u2264 CTA \u2264 FF, hexadecimal, at most 2 characters)");
}

TEST(UserNumbers, DurationsAddressesAndComPorts) {
    constexpr DurationRule kTimeout{"a time-out", 0, 86400, true, "s"};
    EXPECT_EQ(ReadDuration("1.5", kTimeout), 1500);
    EXPECT_FALSE(ReadDuration("0", kTimeout));
    EXPECT_FALSE(ReadDuration("1e300", kTimeout));
    EXPECT_EQ(ReadAddress("0x3FF"), 0x3FF);
    std::string why;
    EXPECT_FALSE(ReadAddress("0x400", "a chip address", &why));
    EXPECT_EQ(why, "0x400 is not a chip address (0x000 \u2264 ADDR \u2264 0x3FF)");
    EXPECT_EQ(ReadComIndex("com16"), 15);
    EXPECT_FALSE(ReadComIndex("COM17", &why));
    EXPECT_EQ(why, "COM17 is not a COM port (COM1 to COM16)");
    EXPECT_EQ(RealRefusal(std::nan(""), kResistance),
              "nan is not a resistance (0 < R \u2264 100 M\u03A9)");
}

}  // namespace
}  // namespace dmm

// The meter's reply decoding and what the meter window makes of a reading.
#include <gtest/gtest.h>

#include <string>

#include "core/instruments/meter_frames.h"

namespace dmm {
namespace {

// A 22-byte reply: flags, the 8 reading characters (bytes 8..15), exponent sign and digit.
std::vector<uint8_t> Reply(uint8_t a, uint8_t b, const std::string& reading, char sign,
                           char digit) {
    std::vector<uint8_t> f(kBryMenFrameSize, 0);
    f[0] = kDle;
    f[1] = kStx;
    f[4] = a;
    f[5] = b;
    for (size_t i = 0; i < 8; ++i) f[8 + i] = static_cast<uint8_t>(reading[i]);
    f[16] = 'E';
    f[17] = static_cast<uint8_t>(sign);
    f[18] = static_cast<uint8_t>(digit);
    f[20] = kDle;
    f[21] = kEtx;
    return f;
}

BryMenReading Decode(const std::vector<uint8_t>& f) {
    return DecodeBryMen(f.data(), f.size());
}

TEST(MeterFrames, TheRequestIsDleStxThreeZerosTheirXorDleEtx) {
    const std::array<uint8_t, 8> expected = {0x10, 0x02, 0, 0, 0, 0, 0x10, 0x03};
    EXPECT_EQ(kBryMenRequest, expected);
}

TEST(MeterFrames, ReadingsDecodeWithSignPointAndExponent) {
    // Ohms (A bit 7), " 1.2345 ", "+3": 1234.5 ohm, shown as 1.2345 k.
    BryMenReading r = Decode(Reply(0x80, 0, " 1.2345 ", '+', '3'));
    EXPECT_DOUBLE_EQ(r.value, 1234.5);
    EXPECT_FALSE(r.negative);
    EXPECT_FALSE(r.overload);
    EXPECT_EQ(r.digits, "12345");
    EXPECT_EQ(r.pointPosition, 1);
    EXPECT_EQ(r.integerDigits, 1);
    EXPECT_FALSE(r.exponentNegative);
    BryMenDisplay d = DisplayOf(r);
    EXPECT_EQ(d.unit, "kΩ");
    EXPECT_EQ(d.caption, "1.2345");
    EXPECT_EQ(d.dotCount, 1);

    // DC volts, negative, "-3": -1.2345 mV shown as -1.2345 with "DC mV"? e = 3 gives u.
    r = Decode(Reply(0x06, 0, "-1.2345 ", '-', '3'));
    EXPECT_DOUBLE_EQ(r.value, -1.2345e-3);
    EXPECT_TRUE(r.negative);
    EXPECT_TRUE(r.exponentNegative);
    d = DisplayOf(r);
    EXPECT_EQ(d.unit, "DC uV");
    EXPECT_EQ(d.caption, "1234.5");
    EXPECT_EQ(d.dotCount, 4);
    EXPECT_TRUE(d.negative);

    // 0.1 V as "1.0000" "-1": 100.00 mV.
    d = DisplayOf(Decode(Reply(0x06, 0, " 1.0000 ", '-', '1')));
    EXPECT_EQ(d.unit, "DC mV");
    EXPECT_EQ(d.caption, "100.00");
    EXPECT_EQ(d.dotCount, 3);

    // Volts never take "k": 12.345 V stays in volts.
    d = DisplayOf(Decode(Reply(0x06, 0, " 1.2345 ", '+', '1')));
    EXPECT_EQ(d.unit, "DC V");
    EXPECT_EQ(d.caption, "12.345");
    // Megohms.
    d = DisplayOf(Decode(Reply(0x80, 0, " 4.7000 ", '+', '6')));
    EXPECT_EQ(d.unit, "MΩ");
    EXPECT_EQ(d.caption, "4.7000");
}

TEST(MeterFrames, NanoMovesThePointNineMinusTheExponent) {
    // 1.2345e-8 F = 12.345 nF; 1.2345e-9 F = 1.2345 nF.
    BryMenDisplay d = DisplayOf(Decode(Reply(0x08, 0, " 1.2345 ", '-', '8')));
    EXPECT_EQ(d.unit, "nF");
    EXPECT_EQ(d.caption, "12.345");
    d = DisplayOf(Decode(Reply(0x08, 0, " 1.2345 ", '-', '9')));
    EXPECT_EQ(d.caption, "1.2345");
    d = DisplayOf(Decode(Reply(0x08, 0, " 1.2345 ", '-', '7')));
    EXPECT_EQ(d.caption, "123.45");
}

TEST(MeterFrames, OverloadsShowOl) {
    // Letters where the digits belong: the meter's own overload, not a zero.
    BryMenReading r = Decode(Reply(0x80, 0, "   OL   ", '+', '0'));
    EXPECT_TRUE(r.overload);
    EXPECT_EQ(DisplayOf(r).caption, "OL");
    EXPECT_EQ(DisplayOf(r).unit, "Ω");
    // A reply of 21 bytes or fewer from its start.
    std::vector<uint8_t> cut = Reply(0x06, 0, " 1.2345 ", '+', '0');
    cut.resize(21);
    EXPECT_TRUE(DecodeBryMen(cut.data(), cut.size()).overload);
    // A number the meter garbled.
    r = Decode(Reply(0x06, 0, " 1.2.45 ", '+', '0'));
    EXPECT_TRUE(r.overload);
    EXPECT_EQ(DisplayOf(r).caption, "OL");
    // An exponent that is no digit.
    EXPECT_TRUE(Decode(Reply(0x06, 0, " 1.2345 ", '+', 'x')).overload);
    // Blanks only: no reading, value 0, no overload.
    r = Decode(Reply(0x06, 0, "        ", '+', '0'));
    EXPECT_FALSE(r.overload);
    EXPECT_EQ(r.value, 0);
}

TEST(MeterFrames, AReplyIsFoundBehindNoise) {
    std::vector<uint8_t> f = Reply(0x06, 0, " 2.5000 ", '-', '1');
    f.insert(f.begin(), {'a', 'b', 'c'});
    EXPECT_EQ(FindBryMenStart(f.data(), f.size()), 3u);
    EXPECT_TRUE(HasBryMenEnd(f.data(), f.size(), 3));
    EXPECT_DOUBLE_EQ(DecodeBryMen(f.data(), f.size()).value, 0.25);
    f.resize(f.size() - 2);
    EXPECT_FALSE(HasBryMenEnd(f.data(), f.size(), 3));
}

TEST(MeterFrames, UnitTextsFollowTheFlagsInTheirOrder) {
    EXPECT_EQ(BryMenUnitText(0x06, 0), "DC V");
    EXPECT_EQ(BryMenUnitText(0x05, 0), "AC V");
    EXPECT_EQ(BryMenUnitText(0x82, 0), "Ω");  // no "DC " with ohms
    EXPECT_EQ(BryMenUnitText(0x20, 0), "℃");
    EXPECT_EQ(BryMenUnitText(0x40, 0), "℉");
    EXPECT_EQ(BryMenUnitText(0x10, 0), "D");
    EXPECT_EQ(BryMenUnitText(0x02, 0x02), "DC A");
    EXPECT_EQ(BryMenUnitText(0x01, 0x06), "AC AHz");
    EXPECT_EQ(BryMenUnitText(0, 0x28), "%dB");
    // The window puts the prefix after "AC "/"DC ".
    EXPECT_EQ(DisplayOf(Decode(Reply(0x02, 0x02, "-1.2345 ", '-', '2'))).unit, "DC mA");
}

TEST(MeterFrames, ReadingsTooLargeForTheDisplayShowDashes) {
    // "12345" without a point, e = 2: 1234500 has seven whole digits.
    const BryMenDisplay d = DisplayOf(Decode(Reply(0x04, 0, " 12345  ", '+', '2')));
    EXPECT_EQ(d.caption, "-----");
    // Whole readings that fit keep their digits and need no point.
    const BryMenDisplay fits = DisplayOf(Decode(Reply(0x04, 0, " 123    ", '+', '2')));
    EXPECT_EQ(fits.caption, "12300");
    EXPECT_EQ(fits.dotCount, 0);
}

}  // namespace
}  // namespace dmm

#include <gtest/gtest.h>

#include <QList>

#include "core/calsets/calset_display.h"
#include "core/calsets/config_set_file.h"

namespace dmm {
namespace {

QList<QByteArray> LinesOf(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    return lines;
}

TEST(ConfigSetFile, WritesSeventyFiveLinesWithRegistersByPosition) {
    ConfigSet set;
    for (int i = 0; i < 15; ++i)
        set.registers[static_cast<size_t>(i)] = {static_cast<uint16_t>(0x1E + i),
                                                 static_cast<uint8_t>(0xA0 + i)};
    set.registers[14] = {0x3FF, 0x05};
    set.adc1Gain = 4000000.5;
    set.rmsGain = 0;
    set.adc1Offset = -12;
    set.rmsOffset = 3;
    set.cancelOffset = 1;
    set.averageTimes = 20;
    const QByteArray bytes = WriteConfigSet(set);
    const QList<QByteArray> lines = LinesOf(bytes);
    ASSERT_EQ(lines.size(), 75);
    for (const QByteArray& line : lines) EXPECT_TRUE(line.endsWith('\r'));
    EXPECT_EQ(lines[0], "001E A0\r");
    EXPECT_EQ(lines[13], "002B AD\r");
    EXPECT_EQ(lines[14], "03FF 05\r");
    int zeros = 0;
    for (int i = 15; i < 64; ++i) zeros += lines[i] == "0000 00\r";
    EXPECT_EQ(zeros, 49);
    const QList<QByteArray> tail(lines.begin() + 64, lines.end());
    EXPECT_EQ(tail, (QList<QByteArray>{"40000\r", "mV\r", "   0\r", "~KV\r", "4000000.500000\r",
                                       "0.000000\r", "66000\r", "-12.000000\r", "3.000000\r",
                                       "   1\r", "  20\r"}));
    EXPECT_EQ(ReadConfigSet(bytes), set);
}

TEST(ConfigSetFile, ReadsWhatTheFileHoldsAndNothingMore) {
    // Register lines by character position; junk reads as zero; LF-only lines too.
    QByteArray bytes = "0024 58 comment\n002A\nxyzw 7G\nxyzw 7F\n";
    for (int i = 4; i < 64; ++i) bytes += "0000 00\n";
    bytes += "12.50\nV\n   1\nset one\n100\n2500.25\n999\n7\n-8\n   3\n   2\n";
    const ConfigSet set = ReadConfigSet(bytes);
    EXPECT_EQ(set.registers[0], (RegisterPair{0x24, 0x58}));
    EXPECT_EQ(set.registers[1], (RegisterPair{0x2A, 0x00}));
    EXPECT_EQ(set.registers[2], (RegisterPair{0x00, 0x00}));
    EXPECT_EQ(set.registers[3], (RegisterPair{0x00, 0x7F}));
    EXPECT_EQ(set.reference, "12.50");
    EXPECT_EQ(set.unit, "V");
    EXPECT_EQ(set.adcChoice, 1);
    EXPECT_EQ(set.name, "set one");
    EXPECT_EQ(set.adc1Gain, 100);
    EXPECT_EQ(set.rmsGain, 2500.25);
    EXPECT_EQ(set.scale, "999");
    EXPECT_EQ(set.adc1Offset, 7);
    EXPECT_EQ(set.rmsOffset, -8);
    EXPECT_EQ(set.cancelOffset, 1);  // 1 or more turns it on
    EXPECT_EQ(set.averageTimes, 5);  // 2 is outside 3..200
    EXPECT_EQ(RegisterLinesIn(bytes), 64);

    // A short file keeps the defaults for what it lacks.
    const ConfigSet shortSet = ReadConfigSet("0031 80\r\n");
    EXPECT_EQ(shortSet.registers[0], (RegisterPair{0x31, 0x80}));
    EXPECT_EQ(shortSet.name, "~KV");
    EXPECT_EQ(RegisterLinesIn("0031 80\r\n"), 1);
    EXPECT_EQ(ConfigSetFileName(7), "VZCONFIG-7.txt");
}

TEST(ConfigSetFile, OnlyTheShapeOfASetIsASet) {
    const QByteArray set = WriteConfigSet(ConfigSet{});
    EXPECT_EQ(ConfigSetFault(set), "");
    QByteArray lf = set;
    lf.replace("\r\n", "\n");
    EXPECT_EQ(ConfigSetFault(lf + "\n\n"), "");
    auto with = [&set](int lineNumber, const QByteArray& text) {
        QList<QByteArray> lines = LinesOf(set);
        lines[lineNumber - 1] = text + "\r";
        return lines.join('\n') + '\n';
    };
    const std::pair<QByteArray, QString> faults[] = {
        {"", "0 lines where a set has 75"},
        {"A README: these files are the bench's calibration sets.\n", "1 lines where a set has 75"},
        {QByteArray("\x8f\x00\xff\x12\n\x01", 6), "2 lines where a set has 75"},
        {set.left(set.size() - 6), "74 lines where a set has 75"},
        {set + "extra\r\n", "76 lines where a set has 75"},
        {with(3, "0x20 11"), "line 3 is not a register line"},
        {with(64, "0020 1"), "line 64 is not a register line"},
        {with(67, "ADC1"), "line 67 is not a whole number"},
        {with(73, "nan"), "line 73 is not a number"},
    };
    for (const auto& [bytes, fault] : faults)
        EXPECT_EQ(ConfigSetFault(bytes), fault) << fault.toStdString();
}

TEST(ConfigSetFile, TextsAreBig5) {
    ConfigSet set;
    set.unit = QStringLiteral("Ω");
    const QByteArray bytes = WriteConfigSet(set);
    EXPECT_EQ(LinesOf(bytes)[65], QByteArray("\xA3\x5B\r"));
    EXPECT_EQ(ReadConfigSet(bytes).unit, QStringLiteral("Ω"));
}

TEST(CalSetDisplay, DecimalsPaddingSignAndOverload) {
    EXPECT_EQ(DisplayDecimals("66000", "40000"), 0);
    EXPECT_EQ(DisplayDecimals("66000", "40.00"), 3);
    EXPECT_EQ(DisplayDecimals("66", "40000"), 0);
    LiveFigures f;
    f.reference = 40;
    f.scale = 66000;
    f.decimals = 3;
    EXPECT_EQ(CalSetDisplayText(42.4, f), "0042");
    EXPECT_EQ(CalSetDisplayText(-7, f), "-0007");
    EXPECT_EQ(CalSetDisplayText(12345.6, f), "12346");
    EXPECT_EQ(CalSetDisplayText(66000.5, f), "OL");
    EXPECT_EQ(CalSetDisplayText(std::nullopt, f), "OL");
    f.reference = 0;
    EXPECT_EQ(CalSetDisplayText(1, f), "OL");
}

TEST(CalSetDisplay, ScalesTheAdc1AndRmsPaths) {
    LiveFigures f;
    f.reference = 40000;
    f.scale = 66000;
    f.adc1Gain = 4000000;
    f.adc1Offset = 1000;
    f.rmsGain = 1.0e12;
    f.rmsOffset = 4.0e10;
    f.decimals = 0;
    EXPECT_DOUBLE_EQ(*CalSetReading(0, 2001000, f), 40000.0 * 2001000 / 4000000.0);
    f.cancelOffset = true;
    EXPECT_DOUBLE_EQ(*CalSetReading(0, 2001000, f), 20000);
    // RMS: the square root of the mean square, less the offset's; below it, negative.
    EXPECT_DOUBLE_EQ(*CalSetReading(1, 2.9e11, f), 40000 * std::sqrt(2.5e11) / 1.0e6);
    EXPECT_DOUBLE_EQ(*CalSetReading(1, 0.0, f), -40000 * std::sqrt(4.0e10) / 1.0e6);
    f.cancelOffset = false;
    EXPECT_DOUBLE_EQ(*CalSetReading(1, 2.5e11, f), 20000);
    // No gain reading above 1: no reading.
    f.adc1Gain = 1;
    EXPECT_FALSE(CalSetReading(0, 5, f));
    f.decimals = 2;
    f.adc1Gain = 100;
    f.cancelOffset = true;
    EXPECT_DOUBLE_EQ(*CalSetReading(0, 1001, f), 40000 * 1.0 * 100 / 100);
}

}  // namespace
}  // namespace dmm

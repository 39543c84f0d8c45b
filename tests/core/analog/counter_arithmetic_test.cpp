#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "core/analog/counter_arithmetic.h"
#include "core/analog/switch_network_rules.h"

namespace dmm {
namespace {

TEST(CounterReload, Cta1WeighsBits15To8AndTheStatusShowsTheOffset) {
    const CounterReload start = *ReloadFromTexts("00", "C0");
    EXPECT_EQ(start.offset, 4194304.0);
    EXPECT_EQ(ReloadStatusText(start.offset), "CTAI = 0x400000");
    // CTA1 = 01 moves the gate by 256 clocks, not 16.
    EXPECT_EQ(ReloadFromTexts("01", "C0")->offset, 4194304.0 - 256);
    EXPECT_EQ(ReloadStatusText(ReloadFromTexts("1a", "c0")->offset), "CTAI = 0x3FE600");
    // Both bytes 0: the full 2^24 span, with its fifth digit.
    EXPECT_EQ(ReloadStatusText(ReloadFromTexts("00", "00")->offset), "CTAI = 0x1000000");
    EXPECT_EQ(ReloadStatusText(ReloadFromTexts("FF", "FF")->offset), "CTAI = 0x000100");
}

TEST(CounterReload, AnEntryThatIsNoByteIsRefusedByName) {
    // Neither becomes another byte: "zz" is not 0, "1C0" is not C0.
    std::string why;
    EXPECT_FALSE(ReloadFromTexts("zz", "C0", &why));
    EXPECT_EQ(why.rfind("CTA<15:8>: zz is not a reload byte (00 ", 0), 0u) << why;
    EXPECT_FALSE(ReloadFromTexts("00", "1C0", &why));
    EXPECT_EQ(why.rfind("CTA<23:16>: 1C0 is not", 0), 0u) << why;
}

TEST(CounterReading, FrequencyDutyHighTimeAndQOverF) {
    // A = 0 with the 4194304 offset, B = 4194304: one period per clock.
    CounterReading r = ComputeReading({0, 4194304, 0}, 4194304, 4915205.0, 4052.0);
    EXPECT_EQ(r.frequency, "4915205.00");
    // C = T / 2 is 50 % duty; the high time is half the period.
    r = ComputeReading({2097152 + 500, 4194, 1000}, 4194304, 4915205.0, 4052.0);
    const double t = 4194304 + 1000;
    const double f = 4194 / t * 4915205.0;
    EXPECT_EQ(r.duty, QString::asprintf("%8.2f", (2097152 + 500) / t * 100));
    EXPECT_EQ(r.frequency, QString::asprintf("%8.2f", f));
    EXPECT_EQ(r.highTime, QString::asprintf("%8.2f", (2097152 + 500) / t / f * 1e6));
    EXPECT_EQ(r.capacitance, QString::asprintf("%8.2f", 4052.0 / f));
    EXPECT_EQ(ComputeReading({2097152, 0, 0}, 4194304, 4915205.0, 1.0).duty, "   50.00");
}

TEST(CounterReading, MissingFiguresAreDashesAndNothingIsComputedFromZero) {
    // No periods: no frequency to divide Q by.
    CounterReading r = ComputeReading({100, 0, 0}, 4194304, 4915205.0, 4052.0);
    EXPECT_EQ(r.frequency, "    0.00");
    EXPECT_EQ(r.capacitance, kNoFigure);
    EXPECT_FALSE(r.highTime);  // keeps what it showed
    // A clock that is not a number: no frequency, high time or capacitance; duty still.
    r = ComputeReading({100, 10, 0}, 4194304, std::nullopt, 4052.0);
    EXPECT_EQ(r.frequency, kNoFigure);
    EXPECT_EQ(r.highTime, kNoFigure);
    EXPECT_EQ(r.capacitance, kNoFigure);
    ASSERT_TRUE(r.duty);
    // A Q that is not a number: only the capacitance.
    r = ComputeReading({100, 10, 0}, 4194304, 4915205.0, std::nullopt);
    EXPECT_EQ(r.capacitance, kNoFigure);
    EXPECT_NE(r.frequency, kNoFigure);
    // T <= 0: every entry keeps its text.
    r = ComputeReading({1, 1, 0}, 0, 4915205.0, 1.0);
    EXPECT_FALSE(r.frequency || r.duty || r.highTime || r.capacitance);
}

TEST(CounterEntries, NumbersReadTheSameInEveryLocaleAndBothRefusalsAreNamed) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    CounterFactors f = ReadCounterFactors("4915205", " 4052.5 ");
    EXPECT_EQ(f.clockHz, 4915205.0);
    EXPECT_EQ(f.q, 4052.5);
    EXPECT_TRUE(f.refusal.isEmpty());
    for (const char* bad : {"4052,5", "", "4.9M", "inf"})
        EXPECT_FALSE(ReadCounterFactors("1", bad).q) << bad;
    f = ReadCounterFactors("4.9M", "abc");
    EXPECT_FALSE(f.clockHz || f.q);
    EXPECT_TRUE(f.refusal.startsWith("System Clock: 4.9M is not a system clock ("))
        << f.refusal.toStdString();
    EXPECT_TRUE(f.refusal.contains("; Q: abc is not a Q factor (")) << f.refusal.toStdString();
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(CounterDecoding, CountsAreLowByteFirstInTheOrderCtcCtbCta) {
    const CounterCounts n = DecodeCounts({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(n.highTime, 0x030201u);
    EXPECT_EQ(n.periods, 0x060504u);
    EXPECT_EQ(n.gate, 0xFFFFFFu);
}

TEST(CapacitanceRanges, FiveBlocksOfTwentyOneBytes) {
    const auto ranges = CapacitanceRanges();
    ASSERT_EQ(ranges.size(), 5u);
    const auto block = RangeBlock(ranges[4]);
    EXPECT_STREQ(ranges[4].caption, "10mF");
    EXPECT_STREQ(ranges[4].q, "4500");
    // Register 30 first: A at 32, B at 33, R at 44.
    EXPECT_EQ(block[32 - 30], 0x92);
    EXPECT_EQ(block[33 - 30], 0xDD);
    EXPECT_EQ(block[44 - 30], 0x04);
    const std::array<uint8_t, kRangeBlockSize> first = {0x00, 0x08, 0x72, 0x43, 0x17, 0x83, 0x70,
                                                        0x54, 0x00, 0x0A, 0x39, 0x68, 0x00, 0x00,
                                                        0x20, 0x00, 0x8E, 0x00, 0xC2, 0xD8, 0x13};
    EXPECT_EQ(RangeBlock(ranges[0]), first);
    EXPECT_STREQ(ranges[0].q, "9097");
    // The reference resistor each block closes, as the counter window names it.
    const char* resistors[] = {"1M", "100K", "10K", "1K", "1K"};
    for (size_t i = 0; i < ranges.size(); ++i)
        EXPECT_EQ(ReferenceResistorText(ranges[i].resistor), resistors[i]);
    for (int b : {0, 1, 2, 64, 255, 36}) EXPECT_TRUE(ReferenceResistorText(uint8_t(b)).isEmpty());
    EXPECT_EQ(ReferenceResistorText(128), "10M");
}

TEST(SwitchNetworkRules, TheComparatorTakesBitZeroInTheUpperModes) {
    EXPECT_EQ(ModePattern(5, true), 5);
    EXPECT_EQ(ModePattern(9, true), 1);
    EXPECT_EQ(ModePattern(9, false), 0);
    EXPECT_EQ(ModePattern(14, true), 7);
    EXPECT_EQ(ModePattern(15, false), 6);
    EXPECT_FALSE(ModePattern(16, true));
    // Pattern 7: SVSS, SVSO2 and SCN closed, nothing else.
    const ModeSwitches seven = {false, false, true, false, true, false, false, true};
    EXPECT_EQ(ModePatternSwitches(7), seven);
    // The reference tap: the value below mode 8, its low bits in the comparator's half above.
    EXPECT_EQ(ReferenceTapLabel(11, 7, true), 11);
    EXPECT_EQ(ReferenceTapLabel(11, 12, true), 11);
    EXPECT_EQ(ReferenceTapLabel(11, 12, false), 3);
    EXPECT_EQ(ReferenceTapLabel(2, 8, true), 10);
    // The state is the rise latch when SADCPO is set, the level otherwise.
    EXPECT_TRUE(ComparatorHigh(1, 1, 0));
    EXPECT_FALSE(ComparatorHigh(0, 1, 0));
    EXPECT_TRUE(ComparatorHigh(0, 0, 1));
}

}  // namespace
}  // namespace dmm

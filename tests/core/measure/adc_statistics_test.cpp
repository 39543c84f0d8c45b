#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/measure/adc_statistics.h"
#include "core/measure/capture_settings.h"

namespace dmm {
namespace {

struct Block {
    std::vector<double> cells, values;
    StatisticsInput Input(int bits, int32_t divisor = 1, double gain = 1.0,
                          double volts = 1.2) const {
        double mean = 0.0;
        for (double c : cells) mean += c;
        if (!cells.empty()) mean /= static_cast<double>(cells.size());
        return {cells, values, mean, divisor, bits, gain, volts};
    }
};

Block Unscaled(std::vector<double> v) {
    return {v, v};
}

TEST(AdcStatistics, AFlatBlockKeepsAllItsBits) {
    const AnalysisResults r = ComputeStatistics(Unscaled(std::vector<double>(64, 1234)).Input(23));
    EXPECT_EQ(r.mean, 1234.0);
    EXPECT_EQ(r.rmsNoiseCounts, 0.0);
    EXPECT_EQ(r.enob, 23.0);
    EXPECT_EQ(r.vppCounts, 0.0);
    EXPECT_EQ(r.noiseFreeBits, 23.0);
    EXPECT_EQ(r.rmsNoiseNanovolts, 0.0);
    EXPECT_EQ(r.vppNanovolts, 0.0);
}

TEST(AdcStatistics, NoiseFiguresOfKnownBlocks) {
    // One count of RMS noise at 24 bits is 24 effective bits; two counts peak to peak
    // leave 23 noise-free bits.
    const AnalysisResults one = ComputeStatistics(Unscaled({99, 101, 99, 101}).Input(24));
    EXPECT_DOUBLE_EQ(one.mean, 100.0);
    EXPECT_DOUBLE_EQ(one.rmsNoiseCounts, 1.0);
    EXPECT_DOUBLE_EQ(one.enob, 24.0);
    EXPECT_EQ(one.vppCounts, 2.0);
    EXPECT_DOUBLE_EQ(one.noiseFreeBits, 23.0);
    // Vref 1.2 V over 2^23 counts: 143.05 nV per count.
    EXPECT_DOUBLE_EQ(one.rmsNoiseNanovolts, 1.2e9 / 8388608.0);
    EXPECT_DOUBLE_EQ(one.vppNanovolts, 2 * 1.2e9 / 8388608.0);

    // sigma = 4 costs two bits; a gain of 8 divides both voltages by 8.
    const AnalysisResults four = ComputeStatistics(Unscaled({-4, 4, -4, 4}).Input(20, 1, 8.0, 2.5));
    EXPECT_DOUBLE_EQ(four.enob, 18.0);
    EXPECT_DOUBLE_EQ(four.noiseFreeBits, 17.0);
    EXPECT_DOUBLE_EQ(four.rmsNoiseNanovolts, 2.5e9 * 4 / (8.0 * 524288.0));
    EXPECT_DOUBLE_EQ(four.vppNanovolts, 2.5e9 * 8 / (8.0 * 524288.0));
}

TEST(AdcStatistics, PeakToPeakDividesTheUnscaledValuesAndRoundsTiesToEven) {
    // Scaled cells are the truncated values / 2; the peaks 1/2 and 3/2 round to 0 and 2.
    const Block b{{0, 1, 0, 1}, {1, 3, 1, 3}};
    const AnalysisResults r = ComputeStatistics(b.Input(16, 2));
    EXPECT_EQ(r.vppCounts, 2.0);
    // 5/2 and 7/2 round to 2 and 4.
    const Block c{{2, 3}, {5, 7}};
    EXPECT_EQ(ComputeStatistics(c.Input(16, 2)).vppCounts, 2.0);
    // Negative peaks: -3/2 rounds to -2, 1/2 to 0.
    const Block d{{-1, 0}, {-3, 1}};
    EXPECT_EQ(ComputeStatistics(d.Input(16, 2)).vppCounts, 2.0);
}

TEST(AdcStatistics, OneCountPeakToPeakKeepsAllNoiseFreeBits) {
    const AnalysisResults r = ComputeStatistics(Unscaled({10, 11, 10, 10}).Input(22));
    EXPECT_GT(r.rmsNoiseCounts, 0.0);
    EXPECT_EQ(r.vppCounts, 1.0);
    EXPECT_EQ(r.noiseFreeBits, 22.0);
}

TEST(AdcStatistics, AnEmptyBlockHasNoNoise) {
    const AnalysisResults r = ComputeStatistics(Unscaled({}).Input(24, 256));
    EXPECT_EQ(r.vppCounts, 0.0);
    EXPECT_EQ(r.vppNanovolts, 0.0);
    EXPECT_EQ(r.enob, 24.0);
    EXPECT_EQ(r.noiseFreeBits, 24.0);
}

TEST(AdcStatistics, ReferenceTextsThatAreNoVoltageReadAsOnePointTwo) {
    for (const char* text : {"1.2", "abc", "0", "", "  1.2 ", "inf", "0.0"}) {
        EXPECT_DOUBLE_EQ(ParseReferenceVolts(text), 1.2) << text;
    }
    EXPECT_DOUBLE_EQ(ParseReferenceVolts("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(ParseReferenceVolts("1e-1"), 0.1);
    // The same noise block with "abc" and with "1.2" gives the same voltages.
    const Block b = Unscaled({1, 3, 1, 3});
    const AnalysisResults typed =
        ComputeStatistics(b.Input(24, 1, 1.0, ParseReferenceVolts("abc")));
    const AnalysisResults standard = ComputeStatistics(b.Input(24, 1, 1.0, 1.2));
    EXPECT_EQ(typed.rmsNoiseNanovolts, standard.rmsNoiseNanovolts);
    EXPECT_EQ(typed.vppNanovolts, standard.vppNanovolts);
}

TEST(AnalysisScaleRules, DivisorAndBitsFollowTheChosenResultBits) {
    for (int b = kMinResultBits; b <= kMaxResultBits; ++b) {
        const AnalysisScale dmm = AnalysisScaleFor(b, InterfaceKind::DMM);
        EXPECT_EQ(dmm.divisor, 1 << (24 - b));
        EXPECT_EQ(dmm.analysisBits, b);
        EXPECT_EQ(AnalysisScaleFor(b, InterfaceKind::SPI).analysisBits, b - 1);
        EXPECT_EQ(AnalysisScaleFor(b, InterfaceKind::UART).analysisBits, b - 1);
        // The switch test's selector takes b - 1 even on the DMM kind.
        EXPECT_EQ(SwitchTestScaleFor(b).analysisBits, b - 1);
        EXPECT_EQ(SwitchTestScaleFor(b).divisor, dmm.divisor);
    }
    EXPECT_EQ(AnalysisScaleFor(8, InterfaceKind::DMM).divisor, 65536);

    CaptureSettings s;
    s.TXScale = 0;
    EXPECT_EQ(s.ResultBits(), 8);
    s.TXScale = 16;
    EXPECT_EQ(s.ResultBits(), 24);
    s.NPointIndex = 10;
    EXPECT_EQ(s.CaptureLength(), 65536);
    s.NPointIndex = 11;  // not an item
    EXPECT_EQ(s.CaptureLength(), 256);
    s.CMAVR = 5;
    EXPECT_EQ(s.AverageFactor(), 32);
    s.CMAVR = -1;  // nothing chosen
    EXPECT_EQ(s.AverageFactor(), 1);
}

TEST(AnalysisScaleRules, FlagLayoutComesFromTheDescriptionFields) {
    auto field = [](int reg, int shift) {
        TRegField f;
        f.registerIndex = reg;
        f.width = 1;
        f.shift = shift;
        f.defined = 1;
        return f;
    };
    const InterruptFlagLayout layout = InterruptFlagLayout::FromFields(
        field(0x2F, 5), field(0x2F, 0), TRegField{}, field(0x2F, 7));
    EXPECT_EQ(layout.address, 0x2F);
    EXPECT_EQ(layout.sourceMasks[0], 0x20);
    EXPECT_EQ(layout.sourceMasks[1], 0x01);
    EXPECT_EQ(layout.sourceMasks[2], 0x08);  // undefined: the usual bit
    EXPECT_EQ(layout.sourceMasks[3], 0x80);
}

}  // namespace
}  // namespace dmm
